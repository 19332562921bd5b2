#include "FontCollections.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>

namespace
{
    // The faces that the text tables' Chinese typefaces stand for.
    const juce::StringArray keptFamilies { "Noto Sans CJK SC", "Noto Sans CJK TC" };

    // A collection begins with its tag, a version, its number of faces and the
    // offset of each face's table directory, all big-endian.
    constexpr size_t faceCountOffset = 8;
    constexpr size_t faceOffsetsOffset = 12;

    // JUCE reads the first of these that parses when JUCE_FONT_PATH is unset.
    const char* const fontsConfFiles[] = { "/etc/fonts/fonts.conf", "/usr/share/fonts/fonts.conf",
                                           "/usr/local/etc/fonts/fonts.conf", "/usr/share/defaults/fonts/fonts.conf" };

    juce::Array<juce::uint32> findKeptFaces (const juce::File& collection)
    {
        juce::Array<juce::uint32> kept;
        FT_Library library = nullptr;

        if (FT_Init_FreeType (&library) != 0)
            return kept;

        for (FT_Long index = 0, count = 1; index < count; ++index)
        {
            FT_Face face = nullptr;

            if (FT_New_Face (library, collection.getFullPathName().toRawUTF8(), index, &face) != 0)
                break;

            count = face->num_faces;

            if (face->family_name != nullptr && keptFamilies.contains (face->family_name))
                kept.add ((juce::uint32) index);

            FT_Done_Face (face);
        }

        FT_Done_FreeType (library);
        return kept;
    }

    juce::uint32 readBigEndian (const juce::MemoryBlock& data, size_t offset)
    {
        return juce::ByteOrder::bigEndianInt (static_cast<const char*> (data.getData()) + offset);
    }

    void writeBigEndian (juce::MemoryBlock& data, size_t offset, juce::uint32 value)
    {
        for (size_t i = 0; i < 4; ++i)
            data[offset + i] = (char) (value >> (24 - 8 * i));
    }

    // The collection with a face list of the kept faces alone; false when it has
    // none of them or is no collection.
    bool keepOnlyFaces (juce::MemoryBlock& collection, const juce::Array<juce::uint32>& kept)
    {
        if (kept.isEmpty() || collection.getSize() < faceOffsetsOffset
             || collection.getSize() < faceOffsetsOffset + 4 * (size_t) readBigEndian (collection, faceCountOffset)
             || readBigEndian (collection, 0) != juce::ByteOrder::bigEndianInt ("ttcf"))
            return false;

        const auto faceCount = readBigEndian (collection, faceCountOffset);
        juce::Array<juce::uint32> offsets;

        for (const auto face : kept)
            if (face < faceCount)
                offsets.add (readBigEndian (collection, faceOffsetsOffset + 4 * face));

        writeBigEndian (collection, faceCountOffset, (juce::uint32) offsets.size());

        for (int i = 0; i < offsets.size(); ++i)
            writeBigEndian (collection, faceOffsetsOffset + 4 * (size_t) i, offsets[i]);

        return ! offsets.isEmpty();
    }

    bool writeCopy (const juce::File& collection, const juce::File& copy)
    {
        juce::MemoryBlock data;

        if (! collection.loadFileAsData (data) || ! keepOnlyFaces (data, findKeptFaces (collection)))
            return false;

        // Written aside and renamed, so that a program starting meanwhile never
        // scans half a file.
        juce::TemporaryFile temporary (copy);

        if (! temporary.getFile().replaceWithData (data.getData(), data.getSize())
             || ! temporary.overwriteTargetFileWithTemporary())
            return false;

        return copy.setLastModificationTime (collection.getLastModificationTime());
    }

    bool isUpToDate (const juce::File& copy, const juce::File& collection)
    {
        return copy.existsAsFile() && copy.getSize() == collection.getSize()
            && copy.getLastModificationTime() == collection.getLastModificationTime();
    }

    bool updateCopy (const juce::File& collection, const juce::File& folder)
    {
        const auto copy = folder.getChildFile (collection.getFileNameWithoutExtension() + ".otf");

        if (! collection.existsAsFile())
        {
            copy.deleteFile();
            return false;
        }

        if (isUpToDate (copy, collection) || writeCopy (collection, copy))
            return true;

        copy.deleteFile();
        return false;
    }

    juce::StringArray readFontsConfFolders()
    {
        juce::StringArray folders;
        const auto dataHome = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_HOME", {}).trim();

        for (const auto* path : fontsConfFiles)
        {
            const auto conf = juce::parseXML (juce::File (path));

            if (conf == nullptr)
                continue;

            for (auto* dir : conf->getChildWithTagNameIterator ("dir"))
            {
                const auto folder = dir->getAllSubText().trim();

                if (dir->getStringAttribute ("prefix") != "xdg")
                    folders.add (folder);
                else if (folder.isNotEmpty())
                    folders.add (juce::File (dataHome.isEmpty() ? "~/.local/share" : dataHome)
                                     .getChildFile (folder).getFullPathName());
            }

            break;
        }

        folders.removeEmptyStrings();
        return folders;
    }

    // The folders JUCE scans as things stand: JUCE_FONT_PATH's, else fonts.conf's,
    // else its last resort.
    juce::StringArray getScannedFolders()
    {
        juce::StringArray folders;
        folders.addTokens (juce::SystemStats::getEnvironmentVariable ("JUCE_FONT_PATH", {}), ";,", "");
        folders.removeEmptyStrings();

        if (folders.isEmpty())
            folders = readFontsConfFolders();

        if (folders.isEmpty())
            folders.add ("/usr/X11R6/lib/X11/fonts");

        return folders;
    }
}

//==============================================================================
juce::Array<juce::File> FontCollections::getInstalledCollections()
{
    return { juce::File ("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"),
             juce::File ("/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc") };
}

juce::File FontCollections::getUserFolder()
{
    const auto cacheHome = juce::SystemStats::getEnvironmentVariable ("XDG_CACHE_HOME", {}).trim();
    return juce::File (cacheHome.isEmpty() ? "~/.cache" : cacheHome).getChildFile ("KVXUpdateProgram/fonts");
}

bool FontCollections::expose (const juce::File& folder, const juce::Array<juce::File>& collections)
{
    if (! folder.createDirectory())
        return false;

    bool anyCopy = false;

    for (const auto& collection : collections)
        anyCopy = updateCopy (collection, folder) || anyCopy;

    if (! anyCopy)
        return false;

    auto folders = getScannedFolders();
    folders.removeString (folder.getFullPathName());
    folders.insert (0, folder.getFullPathName());
    return setenv ("JUCE_FONT_PATH", folders.joinIntoString (";").toRawUTF8(), 1) == 0;
}

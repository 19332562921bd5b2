#include "FontCollections.h"

#include "FontCollectionFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>

namespace
{
    // The faces that the text tables' Chinese typefaces stand for.
    const juce::StringArray collectionFamilies { "Noto Sans CJK SC", "Noto Sans CJK TC" };

    juce::File getCollection (const juce::String& style)
    {
        return juce::File (style == "Bold" ? "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc"
                                           : "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc");
    }

    // FreeType opens one face of a collection at a time: the family's is looked
    // for among them in order.
    int searchFace (const juce::File& collection, const juce::String& family)
    {
        FT_Library library = nullptr;

        if (FT_Init_FreeType (&library) != 0)
            return -1;

        int found = -1;

        for (FT_Long index = 0, count = 1; index < count && found < 0; ++index)
        {
            FT_Face face = nullptr;

            if (FT_New_Face (library, collection.getFullPathName().toRawUTF8(), index, &face) != 0)
                break;

            count = face->num_faces;

            if (face->family_name != nullptr && family == face->family_name)
                found = (int) index;

            FT_Done_Face (face);
        }

        FT_Done_FreeType (library);
        return found;
    }

    // The family's face number in the collection, or -1; searched for once.
    int findFace (const juce::File& collection, const juce::String& family)
    {
        static juce::CriticalSection lock;
        static std::map<juce::String, int> known;   // by collection and family
        const juce::ScopedLock sl (lock);
        const auto key = collection.getFullPathName() + "\n" + family;
        const auto found = known.find (key);

        if (found != known.end())
            return found->second;

        return known[key] = searchFace (collection, family);
    }

    //==============================================================================
    // What earlier versions wrote: each collection's copy, and the temporary
    // files of juce::TemporaryFile that a crash may have left beside it.
    const char* const copiedCollections[] = { "NotoSansCJK-Regular", "NotoSansCJK-Bold" };

    bool isTemporaryFileOf (const juce::String& name, const juce::String& copy)
    {
        const auto prefix = copy + "_temp";

        if (! name.startsWith (prefix) || ! name.endsWith (".otf"))
            return false;

        const auto random = name.substring (prefix.length(), name.length() - 4);
        return random.isNotEmpty() && random.length() <= 8 && random.containsOnly ("0123456789abcdef");
    }

    bool wasWrittenByEarlierVersion (const juce::String& name)
    {
        for (const auto* copy : copiedCollections)
            if (name == juce::String (copy) + ".otf" || isTemporaryFileOf (name, copy))
                return true;

        return false;
    }

    juce::File getCacheHome()
    {
        const auto cacheHome = juce::SystemStats::getEnvironmentVariable ("XDG_CACHE_HOME", {}).trim();
        return juce::File (juce::File::isAbsolutePath (cacheHome) ? cacheHome : "~/.cache");
    }

    // A folder of our own, not a link that leads elsewhere.
    bool isRealFolder (const juce::File& folder)
    {
        return folder.isDirectory() && ! folder.isSymbolicLink();
    }
}

//==============================================================================
bool FontCollections::hasFamily (const juce::String& family)
{
    return collectionFamilies.contains (family) && findFace (getCollection ("Regular"), family) >= 0;
}

juce::Typeface::Ptr FontCollections::createTypeface (const juce::String& family, const juce::String& style)
{
    if (! collectionFamilies.contains (family))
        return nullptr;

    for (const auto& collection : { getCollection (style), getCollection ("Regular") })
    {
        const auto face = findFace (collection, family);

        if (face < 0)
            continue;

        if (auto typeface = FontCollectionFace::open (collection, face))
            return typeface;
    }

    return nullptr;
}

void FontCollections::removeEarlierCopies()
{
    const auto programFolder = getCacheHome().getChildFile ("KVXUpdateProgram");
    const auto fontFolder = programFolder.getChildFile ("fonts");

    if (! isRealFolder (programFolder) || ! isRealFolder (fontFolder))
        return;

    for (const auto& entry : juce::RangedDirectoryIterator (fontFolder, false, "*.otf", juce::File::findFiles))
        if (wasWrittenByEarlierVersion (entry.getFile().getFileName()) && ! entry.getFile().isSymbolicLink())
            entry.getFile().deleteFile();

    // Removing a folder that is not empty fails and changes nothing.
    fontFolder.deleteFile();
    programFolder.deleteFile();
}

#include "FontCollections.h"

#include "FontCollectionFace.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <map>
#include <utility>
#include <vector>

namespace
{
    struct Face
    {
        juce::String family;
        juce::String file;
        int index;
        int weight;

        juce::String getKey() const   { return file + "\n" + juce::String (index); }

        bool isSameFaceAs (const Face& other) const   { return index == other.index && file == other.file; }
    };

    // fontconfig's names for the languages of the text tables that need CJK faces.
    const char* const cjkLanguages[] = { "ko", "ja", "zh-cn", "zh-tw" };

    // fontconfig tells no serif or rounded design, and no monospaced one of
    // Noto Sans Mono CJK: the names of Debian's CJK families do (Noto Serif
    // CJK, IPAMincho, NanumMyeongjo, AR PL UMing, Baekmuk Batang, Noto Sans
    // Mono CJK, NanumSquareRound, and "maru", Japanese for rounded).
    const char* const notSansWords[] = { "Serif", "Mincho", "Myeongjo", "Ming", "Batang", "Mono", "Round", "Maru" };

    struct Directory
    {
        juce::CriticalSection lock;
        bool asked = false;
        std::vector<Face> faces;
        std::map<juce::String, juce::StringArray> familiesByLanguage;
        juce::StringArray monospacedFamilies;
        std::map<juce::String, juce::Typeface::Ptr> opened;   // by file and face number, nullptr when unusable
        std::map<juce::String, juce::File> copies;            // by installed file
    };

    Directory& getDirectory()
    {
        static Directory directory;
        return directory;
    }

    // Empty for a value that is not UTF-8, which JUCE would decode past its
    // buffer: a font file's name is whatever its folder holds.
    juce::String getString (FcPattern* pattern, const char* object, int n = 0)
    {
        FcChar8* value = nullptr;

        if (FcPatternGetString (pattern, object, n, &value) != FcResultMatch)
            return {};

        const auto* text = reinterpret_cast<const char*> (value);
        return juce::CharPointer_UTF8::isValidString (text, std::numeric_limits<int>::max())
                 ? juce::String::fromUTF8 (text) : juce::String();
    }

    // fontconfig lists first the family's name in the user's language ("IPA
    // Pゴシック" under a Japanese locale): the family is known by its English name.
    juce::String getEnglishName (FcPattern* pattern)
    {
        for (int n = 0; getString (pattern, FC_FAMILY, n).isNotEmpty(); ++n)
            if (getString (pattern, FC_FAMILYLANG, n) == "en")
                return getString (pattern, FC_FAMILY, n);

        return getString (pattern, FC_FAMILY);
    }

    int getInteger (FcPattern* pattern, const char* object, int fallback)
    {
        int value = fallback;
        return FcPatternGetInteger (pattern, object, 0, &value) == FcResultMatch ? value : fallback;
    }

    void addFace (Directory& directory, const juce::String& language, FcPattern* font)
    {
        const Face face { getEnglishName (font), getString (font, FC_FILE), getInteger (font, FC_INDEX, 0),
                          getInteger (font, FC_WEIGHT, FC_WEIGHT_REGULAR) };

        if (face.family.isEmpty() || face.file.isEmpty())
            return;

        directory.familiesByLanguage[language].addIfNotAlreadyThere (face.family);

        if (getInteger (font, FC_SPACING, FC_PROPORTIONAL) >= FC_DUAL)
            directory.monospacedFamilies.addIfNotAlreadyThere (face.family);

        // A face that covers several of the languages is listed for each.
        if (std::none_of (directory.faces.begin(), directory.faces.end(),
                          [&face] (const Face& known) { return known.isSameFaceAs (face); }))
            directory.faces.push_back (face);
    }

    // The scalable faces that cover the language, from fontconfig's cache.
    void listFaces (Directory& directory, FcConfig* config, const char* language)
    {
        auto* pattern = FcPatternCreate();
        auto* languageSet = FcLangSetCreate();
        auto* objects = FcObjectSetBuild (FC_FAMILY, FC_FAMILYLANG, FC_FILE, FC_INDEX, FC_WEIGHT, FC_SPACING, nullptr);

        if (pattern != nullptr && languageSet != nullptr && objects != nullptr
             && FcLangSetAdd (languageSet, reinterpret_cast<const FcChar8*> (language))
             && FcPatternAddLangSet (pattern, FC_LANG, languageSet)
             && FcPatternAddBool (pattern, FC_SCALABLE, FcTrue))
        {
            if (auto* fonts = FcFontList (config, pattern, objects))
            {
                for (int i = 0; i < fonts->nfont; ++i)
                    addFace (directory, language, fonts->fonts[i]);

                FcFontSetDestroy (fonts);
            }
        }

        if (objects != nullptr)      FcObjectSetDestroy (objects);
        if (languageSet != nullptr)  FcLangSetDestroy (languageSet);
        if (pattern != nullptr)      FcPatternDestroy (pattern);
    }

    // fontconfig's main file, found as fontconfig finds it: asking fontconfig
    // would load its whole configuration.
    juce::File getMainFile()
    {
        const auto named = juce::SystemStats::getEnvironmentVariable ("FONTCONFIG_FILE", {});
        return juce::File (juce::File::isAbsolutePath (named) ? named : "/etc/fonts/fonts.conf");
    }

    // The <dir> and <cachedir> elements of fontconfig's main file; empty when
    // the file cannot be read.
    juce::String readFolders()
    {
        const auto main = juce::parseXML (getMainFile());

        if (main == nullptr)
            return {};

        juce::XmlElement folders ("fontconfig");

        for (auto* element : main->getChildIterator())
            if (element->hasTagName ("dir") || element->hasTagName ("cachedir"))
                folders.addChildElement (new juce::XmlElement (*element));

        return folders.toString();
    }

    // fontconfig's whole configuration, with its conf.d rules for rendering
    // and choosing fonts, takes more than 3 ms to read; where the fonts and
    // their caches are is all that the list needs, and takes a tenth of that.
    // A folder that only a conf.d file adds is not searched. Without a main
    // file, fontconfig itself falls back on folders built into it, which only
    // its own loading knows.
    FcConfig* loadFolderConfiguration()
    {
        const auto folders = readFolders();

        if (folders.isEmpty())
            return FcInitLoadConfigAndFonts();

        auto* config = FcConfigCreate();

        if (config != nullptr
             && FcConfigParseAndLoadFromMemory (config, reinterpret_cast<const FcChar8*> (folders.toRawUTF8()), FcFalse)
             && FcConfigBuildFonts (config))
            return config;

        if (config != nullptr)
            FcConfigDestroy (config);

        return nullptr;
    }

    // The family's face whose weight is nearest to the style's, or nullptr.
    const Face* findFace (const Directory& directory, const juce::String& family, const juce::String& style)
    {
        const auto weight = style == "Bold" ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
        const Face* nearest = nullptr;

        for (const auto& face : directory.faces)
            if (face.family == family
                 && (nearest == nullptr || std::abs (face.weight - weight) < std::abs (nearest->weight - weight)))
                nearest = &face;

        return nearest;
    }

    juce::Typeface::Ptr openFace (const Directory& directory, const Face& face)
    {
        const auto copy = directory.copies.find (face.file);
        const auto file = copy != directory.copies.end() ? copy->second : juce::File (face.file);
        return FontCollectionFace::open (file, face.index);
    }

    // The faces, asked for the first time only.
    void findFaces()
    {
        auto& directory = getDirectory();
        const juce::ScopedLock sl (directory.lock);

        if (std::exchange (directory.asked, true))
            return;

        // A configuration of our own, dropped once the faces are known:
        // fontconfig keeps nothing loaded for the rest of the process.
        if (auto* config = loadFolderConfiguration())
        {
            for (const auto* language : cjkLanguages)
                listFaces (directory, config, language);

            FcConfigDestroy (config);
        }

        for (auto& [language, families] : directory.familiesByLanguage)
            families.sort (false);
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
juce::StringArray FontCollections::getFamiliesCovering (const juce::String& language)
{
    findFaces();
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    const auto families = directory.familiesByLanguage.find (language);
    return families != directory.familiesByLanguage.end() ? families->second : juce::StringArray();
}

bool FontCollections::hasFamily (const juce::String& family)
{
    findFaces();
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    return std::any_of (directory.faces.begin(), directory.faces.end(),
                        [&family] (const Face& face) { return face.family == family; });
}

bool FontCollections::isSansSerif (const juce::String& family)
{
    findFaces();
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);

    for (const auto* word : notSansWords)
        if (family.contains (word))
            return false;

    return ! directory.monospacedFamilies.contains (family);
}

juce::Typeface::Ptr FontCollections::createTypeface (const juce::String& family, const juce::String& style)
{
    findFaces();
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    const auto* face = findFace (directory, family, style);

    if (face == nullptr)
        return nullptr;

    const auto opened = directory.opened.find (face->getKey());

    if (opened != directory.opened.end())
        return opened->second;

    return directory.opened[face->getKey()] = openFace (directory, *face);
}

void FontCollections::closeFaces()
{
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    directory.opened.clear();
}

void FontCollections::readFacesFrom (const juce::File& installed, const juce::File& copy)
{
    findFaces();
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    directory.copies[installed.getFullPathName()] = copy;

    for (const auto& face : directory.faces)
        if (face.file == installed.getFullPathName())
            directory.opened.erase (face.getKey());
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

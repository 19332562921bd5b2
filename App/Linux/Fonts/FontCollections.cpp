#include "FontCollections.h"

#include "Utf8Text.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
    struct Face
    {
        std::string file;   // as fontconfig names it: bytes, UTF-8 or not
        int index;
        int weight;
        int slant;
        int width;
        bool monospaced;

        std::string getKey() const   { return file + "\n" + std::to_string (index); }
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
        ~Directory()
        {
            if (fonts != nullptr)
                FcFontSetDestroy (fonts);
        }

        juce::CriticalSection lock;
        bool asked = false;
        FcFontSet* fonts = nullptr;                                  // the scalable faces of every folder
        std::map<juce::String, std::vector<Face>> facesByFamily;      // as first asked for
        std::map<juce::String, juce::StringArray> familiesByLanguage;
        std::map<std::string, juce::Typeface::Ptr> opened;           // by file and face number, nullptr when unusable
        std::map<std::string, std::string> copies;                   // by installed file
    };

    Directory& getDirectory()
    {
        static Directory directory;
        return directory;
    }

    // Empty for a value that is not UTF-8, which JUCE would decode past its
    // buffer: a family's name is whatever its font file says.
    juce::String getString (FcPattern* pattern, const char* object, int n = 0)
    {
        FcChar8* value = nullptr;

        if (FcPatternGetString (pattern, object, n, &value) != FcResultMatch)
            return {};

        const auto* text = reinterpret_cast<const char*> (value);
        return Utf8Text::isValid (text) ? juce::String::fromUTF8 (text) : juce::String();
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

    // Any of the face's names: DejaVu Sans Condensed is also DejaVu Sans.
    bool isOfFamily (FcPattern* pattern, const juce::String& family)
    {
        FcChar8* name = nullptr;

        for (int n = 0; FcPatternGetString (pattern, FC_FAMILY, n, &name) == FcResultMatch; ++n)
            if (std::strcmp (reinterpret_cast<const char*> (name), family.toRawUTF8()) == 0)
                return true;

        return false;
    }

    int getInteger (FcPattern* pattern, const char* object, int fallback)
    {
        int value = fallback;
        return FcPatternGetInteger (pattern, object, 0, &value) == FcResultMatch ? value : fallback;
    }

    // As fontconfig's own listing of the fonts for ":lang=ko" tells it.
    bool covers (FcPattern* pattern, const FcLangSet* language)
    {
        FcLangSet* languages = nullptr;
        return FcPatternGetLangSet (pattern, FC_LANG, 0, &languages) == FcResultMatch
            && FcLangSetContains (languages, language);
    }

    bool isScalable (FcPattern* pattern)
    {
        FcBool scalable = FcFalse;
        return FcPatternGetBool (pattern, FC_SCALABLE, 0, &scalable) == FcResultMatch && scalable;
    }

    Face toFace (FcPattern* pattern)
    {
        FcChar8* file = nullptr;
        FcPatternGetString (pattern, FC_FILE, 0, &file);
        return { file != nullptr ? reinterpret_cast<const char*> (file) : "",
                 getInteger (pattern, FC_INDEX, 0), getInteger (pattern, FC_WEIGHT, FC_WEIGHT_REGULAR),
                 getInteger (pattern, FC_SLANT, FC_SLANT_ROMAN), getInteger (pattern, FC_WIDTH, FC_WIDTH_NORMAL),
                 getInteger (pattern, FC_SPACING, FC_PROPORTIONAL) >= FC_DUAL };
    }

    //==============================================================================
    using SeenFolders = std::set<std::pair<dev_t, ino_t>>;

    void addScalableFaces (FcCache* cache, FcFontSet* fonts)
    {
        auto* set = FcCacheCopySet (cache);

        if (set == nullptr)
            return;

        for (int i = 0; i < set->nfont; ++i)
        {
            if (isScalable (set->fonts[i]))
            {
                FcPatternReference (set->fonts[i]);

                if (! FcFontSetAdd (fonts, set->fonts[i]))
                    FcPatternDestroy (set->fonts[i]);
            }
        }

        FcFontSetDestroy (set);
    }

    // The folder's faces, from its cache (which fontconfig makes and writes
    // when it has none, or an outdated one), and its subfolders'. A folder that
    // a link leads back to is not read again: two links to "." would otherwise
    // lead through ever longer paths.
    void addFolder (FcConfig* config, const FcChar8* folder, FcFontSet* fonts, SeenFolders& seen)
    {
        struct stat info {};

        if (stat (reinterpret_cast<const char*> (folder), &info) != 0 || ! S_ISDIR (info.st_mode)
             || ! seen.insert ({ info.st_dev, info.st_ino }).second)
            return;

        auto* cache = FcDirCacheRead (folder, FcFalse, config);

        if (cache == nullptr)
            return;

        addScalableFaces (cache, fonts);

        for (int i = 0; i < FcCacheNumSubdir (cache); ++i)
            addFolder (config, FcCacheSubdir (cache, i), fonts, seen);

        FcDirCacheUnload (cache);
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
    // its own loading knows. Neither builds fontconfig's own list of fonts,
    // which would follow every link below the folders.
    FcConfig* loadFolderConfiguration()
    {
        const auto folders = readFolders();

        if (folders.isEmpty())
            return FcInitLoadConfig();

        auto* config = FcConfigCreate();

        if (config != nullptr
             && FcConfigParseAndLoadFromMemory (config, reinterpret_cast<const FcChar8*> (folders.toRawUTF8()), FcFalse))
            return config;

        if (config != nullptr)
            FcConfigDestroy (config);

        return nullptr;
    }

    FcFontSet* listFonts (FcConfig* config)
    {
        auto* fonts = FcFontSetCreate();
        auto* folders = FcConfigGetFontDirs (config);
        SeenFolders seen;

        if (fonts != nullptr && folders != nullptr)
            while (const auto* folder = FcStrListNext (folders))
                addFolder (config, folder, fonts, seen);

        if (folders != nullptr)
            FcStrListDone (folders);

        return fonts;
    }

    // The faces, read the first time only.
    FcFontSet* getFonts (Directory& directory)
    {
        if (! std::exchange (directory.asked, true))
        {
            // A configuration of our own, dropped once the faces are known:
            // only their patterns stay, in fontconfig's cache files.
            if (auto* config = loadFolderConfiguration())
            {
                directory.fonts = listFonts (config);
                FcConfigDestroy (config);
            }
        }

        return directory.fonts;
    }

    std::vector<Face> listFacesOf (Directory& directory, const juce::String& family)
    {
        std::vector<Face> faces;

        if (auto* fonts = getFonts (directory))
            for (int i = 0; i < fonts->nfont; ++i)
                if (isOfFamily (fonts->fonts[i], family))
                    faces.push_back (toFace (fonts->fonts[i]));

        // A file that fontconfig lists twice, through two folders, is one face.
        std::sort (faces.begin(), faces.end(), [] (const Face& a, const Face& b) { return a.getKey() < b.getKey(); });
        faces.erase (std::unique (faces.begin(), faces.end(),
                                  [] (const Face& a, const Face& b) { return a.getKey() == b.getKey(); }),
                     faces.end());
        return faces;
    }

    const std::vector<Face>& getFacesOf (Directory& directory, const juce::String& family)
    {
        auto known = directory.facesByFamily.find (family);

        if (known == directory.facesByFamily.end())
            known = directory.facesByFamily.emplace (family, listFacesOf (directory, family)).first;

        return known->second;
    }

    juce::StringArray listFamiliesCovering (Directory& directory, const char* language)
    {
        juce::StringArray families;
        auto* fonts = getFonts (directory);
        auto* languages = FcLangSetCreate();

        if (fonts != nullptr && languages != nullptr && FcLangSetAdd (languages, reinterpret_cast<const FcChar8*> (language)))
            for (int i = 0; i < fonts->nfont; ++i)
                if (covers (fonts->fonts[i], languages))
                    families.addIfNotAlreadyThere (getEnglishName (fonts->fonts[i]));

        if (languages != nullptr)
            FcLangSetDestroy (languages);

        families.removeEmptyStrings();
        families.sort (false);
        return families;
    }

    const juce::StringArray& findFamiliesCovering (Directory& directory, const juce::String& language)
    {
        auto known = directory.familiesByLanguage.find (language);

        if (known == directory.familiesByLanguage.end())
            known = directory.familiesByLanguage.emplace (language, listFamiliesCovering (directory, language.toRawUTF8())).first;

        return known->second;
    }

    // The face nearest to the style: upright first, then of normal width,
    // then of the nearest weight; nullptr when there is none.
    const Face* findFace (const std::vector<Face>& faces, const juce::String& style)
    {
        const auto weight = style == "Bold" ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
        const auto distance = [weight] (const Face& face)
        {
            return std::make_tuple (face.slant != FC_SLANT_ROMAN, std::abs (face.width - FC_WIDTH_NORMAL),
                                    std::abs (face.weight - weight));
        };
        const Face* nearest = nullptr;

        for (const auto& face : faces)
            if (nearest == nullptr || distance (face) < distance (*nearest))
                nearest = &face;

        return nearest;
    }

    juce::Typeface::Ptr openFace (const Directory& directory, const Face& face, FontCollectionFace::Spacing spacing)
    {
        const auto copy = directory.copies.find (face.file);
        const auto& file = copy != directory.copies.end() ? copy->second : face.file;
        return FontCollectionFace::open (file.c_str(), face.index, spacing);
    }

    //==============================================================================
    // What earlier versions wrote: each collection's copy, and the temporary
    // files of juce::TemporaryFile that a crash may have left beside it.
    const char* const copiedCollections[] = { "NotoSansCJK-Regular", "NotoSansCJK-Bold" };

    bool endsWith (const std::string& text, const std::string& end)
    {
        return text.size() >= end.size() && text.compare (text.size() - end.size(), end.size(), end) == 0;
    }

    bool isTemporaryFileOf (const std::string& name, const std::string& copy)
    {
        const auto prefix = copy + "_temp";

        if (name.rfind (prefix, 0) != 0 || ! endsWith (name, ".otf"))
            return false;

        const auto random = name.substr (prefix.size(), name.size() - prefix.size() - 4);
        return ! random.empty() && random.size() <= 8 && random.find_first_not_of ("0123456789abcdef") == std::string::npos;
    }

    bool wasWrittenByEarlierVersion (const std::string& name)
    {
        for (const std::string copy : copiedCollections)
            if (name == copy + ".otf" || isTemporaryFileOf (name, copy))
                return true;

        return false;
    }

    // Read as bytes: the environment's values need not be UTF-8.
    std::string getCacheHome()
    {
        const char* cacheHome = std::getenv ("XDG_CACHE_HOME");

        if (cacheHome != nullptr && cacheHome[0] == '/')
            return cacheHome;

        const char* home = std::getenv ("HOME");
        return std::string (home != nullptr ? home : "") + "/.cache";
    }

    // A folder of our own, not a link that leads elsewhere.
    bool isRealFolder (const std::string& folder)
    {
        struct stat info {};
        return lstat (folder.c_str(), &info) == 0 && S_ISDIR (info.st_mode);
    }

    // Regular files only: a link stays, wherever it leads.
    void removeCopiesIn (const std::string& folder)
    {
        auto* entries = opendir (folder.c_str());

        if (entries == nullptr)
            return;

        while (const auto* entry = readdir (entries))
        {
            const auto path = folder + "/" + entry->d_name;
            struct stat info {};

            if (wasWrittenByEarlierVersion (entry->d_name) && lstat (path.c_str(), &info) == 0 && S_ISREG (info.st_mode))
                unlink (path.c_str());
        }

        closedir (entries);
    }
}

//==============================================================================
juce::StringArray FontCollections::getFamiliesCovering (const juce::String& language)
{
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    return findFamiliesCovering (directory, language);
}

bool FontCollections::hasFamily (const juce::String& family)
{
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    return ! getFacesOf (directory, family).empty();
}

bool FontCollections::coversCjk (const juce::String& family)
{
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);

    return std::any_of (std::begin (cjkLanguages), std::end (cjkLanguages), [&] (const char* language)
    {
        return findFamiliesCovering (directory, language).contains (family);
    });
}

bool FontCollections::isSansSerif (const juce::String& family)
{
    for (const auto* word : notSansWords)
        if (family.contains (word))
            return false;

    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    const auto& faces = getFacesOf (directory, family);
    return std::none_of (faces.begin(), faces.end(), [] (const Face& face) { return face.monospaced; });
}

juce::Typeface::Ptr FontCollections::createTypeface (const juce::String& family, const juce::String& style,
                                                     FontCollectionFace::Spacing spacing)
{
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    const auto* face = findFace (getFacesOf (directory, family), style);

    if (face == nullptr)
        return nullptr;

    const auto key = face->getKey() + (spacing == FontCollectionFace::Spacing::kerned ? "\nkerned" : "");
    const auto opened = directory.opened.find (key);

    if (opened != directory.opened.end())
        return opened->second;

    return directory.opened[key] = openFace (directory, *face, spacing);
}

void FontCollections::closeFaces()
{
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    directory.opened.clear();
}

void FontCollections::readFacesFrom (const juce::File& installed, const juce::File& copy)
{
    auto& directory = getDirectory();
    const juce::ScopedLock sl (directory.lock);
    const auto installedFile = installed.getFullPathName().toStdString();
    directory.copies[installedFile] = copy.getFullPathName().toStdString();

    for (auto opened = directory.opened.begin(); opened != directory.opened.end();)
        opened = opened->first.rfind (installedFile + "\n", 0) == 0 ? directory.opened.erase (opened) : std::next (opened);
}

void FontCollections::removeEarlierCopies()
{
    const auto programFolder = getCacheHome() + "/KVXUpdateProgram";
    const auto fontFolder = programFolder + "/fonts";

    if (! isRealFolder (programFolder) || ! isRealFolder (fontFolder))
        return;

    removeCopiesIn (fontFolder);

    // Removing a folder that is not empty fails and changes nothing.
    rmdir (fontFolder.c_str());
    rmdir (programFolder.c_str());
}

// The language list: its index ties a language's code, strings, name and typeface.
#include "Loader.h"
#include "Table.h"

#include <gtest/gtest.h>

TEST(Table, LanguageCodesAreInLanguageIndexOrder)
{
    const char* const expected[] = { "en", "fr", "de", "es", "it", "nl", "ru", "pt", "zh-Hans", "zh-Hant", "ko", "ja" };

    for (juce::uint32 i = 0; i < numLanguages; ++i)
        EXPECT_EQ(plangList[i].code, expected[i]) << "language " << i;
}

// The arrays lie in memory in alphabetical order (Dutch first); the list must not
// follow it. Each table's "Close" shows whose it is.
TEST(Table, TextListEntryIsTheStringTableOfThatLanguage)
{
    const char* const close[] = { "Close", "Fermer", "Schließen", "Cerrar", "Chiudi", "Sluiten",
                                  "Закрыть", "Fechar", "关闭", "關閉", "닫기", "閉じる" };

    for (juce::uint32 i = 0; i < numLanguages; ++i)
    {
        juce::String strings[TxtLoader::numStrings];
        TxtLoader::Load(i, FlgStr, strings, TxtLoader::numStrings);
        EXPECT_EQ(strings[7].toStdString(), close[i]) << plangList[i].code;
    }
}

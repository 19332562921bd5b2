// MainComponent: the screens, one per state, and the instructions on how to start
// the controller in its update mode, worded in the current language.
#include "MainComponent.h"

#include "Loader.h"

#if JUCE_LINUX
 #include "CjkTextWrap.h"
#endif

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

constexpr float textHeight = 13.0f;
constexpr float minimumHorizontalScale = 0.7f;

// The texts keep this distance from the top, the left and the right edge.
constexpr float margin = 20.0f;
// Where a body under a heading starts, and where texts beside the warning image do.
constexpr float bodyX = 40.0f;
constexpr float besideImageX = 105.0f;
// The height of the box of an instruction line: a little more than the text.
constexpr float instructionLineBox = 16.0f;

// String indices of the text tables.
enum TextString
{
    StrModelWithoutFile = 1,
    StrTitle = 3,
    StrOk = 4,
    StrStart = 5,
    StrCancel = 6,
    StrClose = 7,
    StrLanguageHeading = 8,
    StrLanguageBody = 9,
    StrFaultyFile = 10,
    StrReadyHeading = 12,
    StrCurrentVersion = 13,
    StrUpdateVersion = 14,
    StrUpdatingHeading = 15,
    StrUpdatingBody = 16,
    StrComplete = 17,
    StrError = 18,
    StrNotRecognised = 20,
    StrStepOne = 21,
    StrStepOneEnd = 22,
    StrStepTwo = 23
};

// The languages whose instructions or ready screen are laid out differently.
enum LanguageIndex
{
    LangRussian = 6,
    LangSimplifiedChinese = 8,
    LangKorean = 10,
    LangJapanese = 11
};

// The names printed on the controller, never translated.
const char* const shiftButton = "SHIFT";
const char* const syncButton = "SYNC";

// Step 1 begins with its number, "1. ", in every table.
constexpr size_t stepNumberLength = 3;

/** A printf-style template in UTF-8, formatted and decoded from UTF-8. */
juce::String formatted (const char* format, ...)
{
    va_list args;
    va_start (args, format);
    char* buffer = nullptr;
    const int length = vasprintf (&buffer, format, args);
    va_end (args);

    if (length < 0)
        return {};

    auto result = juce::String::fromUTF8 (buffer, -1);
    std::free (buffer);
    return result;
}

const juce::String& getString (int index)
{
    return TxtLoader::getInstance()->getString ((juce::uint32) index);
}

juce::String formatVersion (int stringIndex, int version)
{
    return formatted (getString (stringIndex).toRawUTF8(), version / 100, version % 100);
}

// The Chinese and Korean step 1 names the model before the buttons.
bool namesModelFirst (int locale)
{
    return locale >= LangSimplifiedChinese && locale <= LangKorean;
}

const char* withoutStepNumber (const char* step)
{
    return std::strlen (step) >= stepNumberLength ? step + stepNumberLength : "";
}
}

//==============================================================================
void MainComponent::updateCtrl()
{
    auto* texts = TxtLoader::getInstance();
    const auto& typeface = texts->getFont();
    juce::Font::setFallbackFontName (typeface);

    if (auto* window = getParentComponent())
        window->setName (getString (StrTitle));

    m_glyphs.clear();
    addScreenTexts();
    showWidgets();
    repaint();
}

void MainComponent::paint (juce::Graphics& g)
{
    g.fillAll (BackgroundColour);

    if (showsWarning())
        if (auto* image = ImageLoader::getInstance()->getImage (0))
            g.drawImage (*image, 20, 15, 64, 64, 0, 0, image->getWidth(), image->getHeight(), false);

    g.setColour (juce::Colours::black);
    m_glyphs.draw (g);
}

void MainComponent::resized()
{
    updateCtrl();

    const juce::Rectangle<int> widgetPlace (20, getHeight() - 80, getWidth() - 40, 20);
    m_langs->setBounds (widgetPlace);
    m_progressBar->setBounds (widgetPlace);

    if (m_okButton->isVisible())
    {
        m_okButton->setBounds (getRightSlot());
        m_cancelButton->setBounds (getLeftSlot());
    }
    else
    {
        m_cancelButton->setBounds (getRightSlot());
    }
}

//==============================================================================
void MainComponent::addScreenTexts()
{
    auto* texts = TxtLoader::getInstance();
    const auto locale = (int) texts->getLocale();
    const auto model = getModelName();
    const auto* name = model.toRawUTF8();

    if (m_sequence == SeqLanguage)
    {
        addHeadingAndBody (getString (StrLanguageHeading), getString (StrLanguageBody));
    }
    else if (m_updValid == 0)
    {
        addScreenBlock (getString (StrFaultyFile), false, besideImageX, margin);
    }
    else if (m_sequence == SeqNotFound)
    {
        dispHowToUpdate (besideImageX, margin, locale, texts->getFont(), true);
    }
    else if (m_sequence == SeqReady)
    {
        addReadyScreenTexts();
    }
    else if (m_sequence == SeqUpdating)
    {
        addHeadingAndBody (formatted (getString (StrUpdatingHeading).toRawUTF8(), name), getString (StrUpdatingBody));
    }
    else if (m_sequence == SeqComplete)
    {
        addScreenBlock (formatted (getString (StrComplete).toRawUTF8(), name), false, margin, margin);
    }
    else
    {
        addScreenBlock (getString (StrError) + "\n", false, besideImageX, margin);
        dispHowToUpdate (besideImageX, margin, locale, texts->getFont(), false);
    }
}

void MainComponent::addReadyScreenTexts()
{
    auto* texts = TxtLoader::getInstance();
    const auto locale = (int) texts->getLocale();
    const auto model = getModelName();

    addScreenBlock (formatted (getString (StrReadyHeading).toRawUTF8(), model.toRawUTF8()) + "\n\n",
                    true, margin, margin);

    // Fixed offsets per language, whatever height the heading and the step
    // really take.
    const auto stepY = margin + (locale == LangRussian ? 31.0f : 16.0f);
    dispHowToStart (margin, stepY, locale, texts->getFont());

    const auto versionsY = stepY + (locale == LangJapanese ? 30.0f : 40.0f);
    addScreenBlock (formatVersion (StrCurrentVersion, m_ctrlVersion) + "\n"
                        + formatVersion (StrUpdateVersion, m_updVersion),
                    false, bodyX, versionsY);
}

void MainComponent::addHeadingAndBody (const juce::String& heading, const juce::String& body)
{
    // The heading's second line break makes an empty line, under which the body
    // starts however many lines the heading wraps into.
    addScreenBlock (heading + "\n\n", true, margin, margin);
    addScreenBlock (body, false, bodyX, getBottomOfText());
}

void MainComponent::addScreenBlock (const juce::String& text, bool bold, float x, float y)
{
    const auto width = (float) getWidth() - (x + margin);
    const auto height = (float) getHeight() - y;

    addTextBlock (text, TxtLoader::getInstance()->getFont(), bold, { x, y, width, height },
                  (int) (height / textHeight));
}

void MainComponent::addTextBlock (const juce::String& text, juce::String const& typeface, bool bold,
                                  juce::Rectangle<float> box, int maximumLines)
{
    const juce::Font font (typeface, textHeight, bold ? juce::Font::bold : juce::Font::plain);

    if (text.containsAnyOf ("\r\n"))
    {
        // addFittedText would place such a text by the top of its visible glyphs,
        // which moves a text whose first line is empty (a heading whose string
        // the table lacks) down by a line and more. Its lines start at the box's
        // top whatever they hold.
        m_glyphs.addJustifiedText (font, text, box.getX(), box.getY() + font.getAscent(), box.getWidth(),
                                   juce::Justification::left);
        return;
    }

   #if JUCE_LINUX
    if (CjkTextWrap::addWrapped (m_glyphs, font, text, box, maximumLines))
        return;
   #endif

    m_glyphs.addFittedText (font, text, box.getX(), box.getY(), box.getWidth(), box.getHeight(),
                            juce::Justification::topLeft, maximumLines, minimumHorizontalScale);
}

float MainComponent::getBottomOfText() const
{
    const int count = m_glyphs.getNumGlyphs();

    if (count == 0)
        return margin;

    return m_glyphs.getBoundingBox (count - 1, 1, true).getBottom();
}

juce::String MainComponent::getModelName() const
{
    return getString (StrModelWithoutFile + m_updValid);
}

//==============================================================================
void MainComponent::dispHowToStart (float x, float y, int locale, juce::String const& font)
{
    addStepOne (withoutStepNumber (getString (StrStepOne).toRawUTF8()), x, y, locale, font, 3);
}

void MainComponent::dispHowToUpdate (float x, float y, int locale, juce::String const& font, bool notFound)
{
    const auto width = (float) getWidth() - (x + margin);

    if (notFound)
        addTextBlock (formatted (getString (StrNotRecognised).toRawUTF8(), getModelName().toRawUTF8()),
                      font, true, { x, y, width, instructionLineBox }, 1);

    // Without the bold line, the error screen's own message stands on this line.
    y += instructionLineBox;
    y += addStepOne (getString (StrStepOne).toRawUTF8(), x, y, locale, font, 4);

    addTextBlock (getString (StrStepTwo), font, false, { x, y, width, instructionLineBox }, 1);
}

float MainComponent::addStepOne (const char* step1, float x, float y, int locale, juce::String const& font,
                                 int linesWhenButtonsFirst)
{
    const auto width = (float) getWidth() - (x + margin);
    const auto model = getModelName();
    const auto* name = model.toRawUTF8();

    if (locale == LangJapanese)
    {
        // Two strings of one line each, the second naming the model.
        addTextBlock (formatted (step1, shiftButton, syncButton), font, false,
                      { x, y, width, instructionLineBox }, 1);
        addTextBlock (formatted (getString (StrStepOneEnd).toRawUTF8(), name), font, false,
                      { x, y + textHeight, width, instructionLineBox }, 1);
        return textHeight + instructionLineBox;
    }

    const int lines = namesModelFirst (locale) ? 3 : linesWhenButtonsFirst;
    const auto text = namesModelFirst (locale) ? formatted (step1, name, shiftButton, syncButton, name)
                                               : formatted (step1, shiftButton, syncButton, name, name);

    addTextBlock (text, font, false, { x, y, width, instructionLineBox * (float) lines }, lines);
    return textHeight * (float) lines;
}

//==============================================================================
void MainComponent::showWidgets()
{
    const bool onLanguageScreen = m_sequence == SeqLanguage;
    m_langs->setVisible (onLanguageScreen);

    if (onLanguageScreen)
    {
        m_langs->setSelectedId ((int) TxtLoader::getInstance()->getLocale() + 1, juce::dontSendNotification);
        m_langs->resized();
    }

    const bool updating = m_sequence == SeqUpdating;
    m_progressBar->setVisible (updating);
    m_progressMirror.setActive (updating);

    const auto& typeface = TxtLoader::getInstance()->getFont();
    m_okButton->setFont (typeface);
    m_cancelButton->setFont (typeface);

    if (onLanguageScreen)
    {
        showButton (m_okButton, StrOk, getRightSlot());
        showButton (m_cancelButton, StrCancel, getLeftSlot());
    }
    else if (m_updValid == 0 || m_sequence == SeqComplete || m_sequence == SeqError)
    {
        m_okButton->setVisible (false);
        showButton (m_cancelButton, StrOk, getRightSlot());
    }
    else if (m_sequence == SeqNotFound)
    {
        m_okButton->setVisible (false);
        showButton (m_cancelButton, StrClose, getRightSlot());
    }
    else if (m_sequence == SeqReady)
    {
        showButton (m_okButton, StrStart, getRightSlot());
        showButton (m_cancelButton, StrClose, getLeftSlot());
    }
    else
    {
        m_okButton->setVisible (false);
        m_cancelButton->setVisible (false);
    }
}

void MainComponent::showButton (VozadButton* button, int stringIndex, juce::Rectangle<int> slot)
{
    button->setVisible (true);
    button->setButtonText (getString (stringIndex));
    button->setBounds (slot);
}

juce::Rectangle<int> MainComponent::getRightSlot() const
{
    return { getWidth() - 120, getHeight() - 40, 100, 20 };
}

juce::Rectangle<int> MainComponent::getLeftSlot() const
{
    return { getWidth() - 230, getHeight() - 40, 100, 20 };
}

bool MainComponent::showsWarning() const
{
    if (m_sequence == SeqLanguage)
        return false;

    return m_updValid == 0 || m_sequence == SeqNotFound || m_sequence == SeqError;
}

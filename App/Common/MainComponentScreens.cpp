// MainComponent: the screens, one per state, worded in the current language.
#include "MainComponent.h"

#include "Loader.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace
{

constexpr float textHeight = 13.0f;
constexpr float minimumHorizontalScale = 0.7f;

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
    StrNotRecognised = 20
};

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
void MainComponent::addTextBlock (const juce::String& text, bool bold, float x, float y, float width, float height)
{
    const juce::Font font (TxtLoader::getInstance()->getFont(), textHeight,
                           bold ? juce::Font::bold : juce::Font::plain);
    const auto maximumLines = (int) (((float) getHeight() - y) / textHeight);

    m_glyphs.addFittedText (font, text, x, y, width, height, juce::Justification::topLeft,
                            maximumLines, minimumHorizontalScale);
}

float MainComponent::getBottomOfText() const
{
    const int count = m_glyphs.getNumGlyphs();

    if (count == 0)
        return 20.0f;

    return m_glyphs.getBoundingBox (count - 1, 1, true).getBottom();
}

juce::String MainComponent::getModelName() const
{
    return getString (StrModelWithoutFile + m_updValid);
}

void MainComponent::addScreenTexts()
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto modelText = getModelName();
    const auto* model = modelText.toRawUTF8();

    if (m_sequence == SeqLanguage)
    {
        addTextBlock (getString (StrLanguageHeading) + "\n\n", true, 20, 20, w - 40, h - 20);
        const auto bottom = getBottomOfText();
        addTextBlock (getString (StrLanguageBody), false, 40, bottom, w - 60, h - bottom);
    }
    else if (m_updValid == 0)
    {
        addTextBlock (getString (StrFaultyFile), false, 105, 20, w - 125, h - 20);
    }
    else if (m_sequence == SeqNotFound)
    {
        addTextBlock (formatted (getString (StrNotRecognised).toRawUTF8(), model), true, 105, 20, w - 125, 16);
    }
    else if (m_sequence == SeqReady)
    {
        addTextBlock (formatted (getString (StrReadyHeading).toRawUTF8(), model) + "\n\n", true, 20, 20, w - 40, h - 20);
        addTextBlock (formatVersion (StrCurrentVersion, m_ctrlVersion) + "\n" + formatVersion (StrUpdateVersion, m_updVersion),
                      false, 40, 76, w - 60, h - 76);
    }
    else if (m_sequence == SeqUpdating)
    {
        addTextBlock (formatted (getString (StrUpdatingHeading).toRawUTF8(), model) + "\n\n", true, 20, 20, w - 40, h - 20);
        const auto bottom = getBottomOfText();
        addTextBlock (getString (StrUpdatingBody), false, 40, bottom, w - 60, h - bottom);
    }
    else if (m_sequence == SeqComplete)
    {
        addTextBlock (formatted (getString (StrComplete).toRawUTF8(), model), false, 20, 20, w - 40, h - 20);
    }
    else
    {
        addTextBlock (getString (StrError) + "\n", false, 105, 20, w - 125, h - 20);
    }
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

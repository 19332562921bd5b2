#include "ScreenPicture.h"

#include "Support/Desktop/XvfbServer.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace kvxtest
{

namespace
{

// Where the screens draw, in the window of 406 x 156.
constexpr int iconBox[] = { 20, 15, 64, 64 };
constexpr int widgetPlace[] = { 20, 76, 366, 20 };
constexpr int rightSlot[] = { 286, 116, 100, 20 };
constexpr int leftSlot[] = { 176, 116, 100, 20 };
constexpr int backgroundLevel = 234;

// The first line of the not-recognised screen is bold and longer than the error
// screen's plain message: in English the one reaches past this x (to about 277),
// the other not (about 245).
constexpr int notRecognisedLineReaches = 260;

int brightest(uint8_t r, uint8_t g, uint8_t b)
{
    return std::max({ r, g, b });
}

} // namespace

ScreenPicture ScreenPicture::load(const std::string& path)
{
    ScreenPicture picture;
    std::istringstream size(runWithoutPreloads("identify -format '%w %h' 'png:" + path + "'"));

    if (! (size >> picture.width >> picture.height) || picture.width <= 0 || picture.height <= 0)
        return {};

    const auto bytes = runWithoutPreloads("stream -map rgb -storage-type char 'png:" + path + "' -");

    if (bytes.size() != static_cast<size_t>(picture.width * picture.height * 3))
        return {};

    picture.rgb.assign(bytes.begin(), bytes.end());
    return picture;
}

//==============================================================================
std::string ScreenPicture::screenName() const
{
    if (width != 406 || height != 156)
        return "unknown";

    const bool icon = showsWarningIcon();
    const bool right = showsButton({ rightSlot[0], rightSlot[1], rightSlot[2], rightSlot[3] });
    const bool left = showsButton({ leftSlot[0], leftSlot[1], leftSlot[2], leftSlot[3] });
    const bool heading = hasText({ 20, 20, 366, 13 });

    if (showsLanguageMenu() && left && right && heading && hasText({ 40, 46, 346, 13 }))
        return "language";

    if (showsProgressBar() && ! left && ! right && heading)
        return "updating";

    if (icon && right && ! left)
    {
        const Area firstLine { 105, 20, 281, 13 };

        if (! hasText({ 105, 36, 281, 66 }))
            return hasText(firstLine) ? "faulty update file" : "unknown";

        return rightEndOfText(firstLine) > notRecognisedLineReaches ? "not recognised" : "error";
    }

    if (! icon && left && right && heading && hasText({ 20, 36, 366, 39 }) && hasText({ 40, 76, 346, 26 }))
        return "ready";

    if (! icon && right && ! left && heading && ! hasText({ 20, 36, 366, 70 }))
        return "complete";

    return "unknown";
}

int ScreenPicture::progressFillWidth() const
{
    // The fill's top row, which the percentage in the bar's middle leaves alone.
    const int row = widgetPlace[1] + 2;
    int filled = 0;

    for (int x = widgetPlace[0] + 2; x < widgetPlace[0] + widgetPlace[2] - 2; ++x)
    {
        const auto p = at(x, row);
        filled += brightest(p.r, p.g, p.b) > 60 ? 1 : 0;
    }

    return filled;
}

std::string ScreenPicture::describe() const
{
    if (rgb.empty())
        return "no picture";

    std::ostringstream text;
    text << width << "x" << height << ": icon " << showsWarningIcon() << ", menu " << showsLanguageMenu()
         << ", bar " << showsProgressBar() << ", left button " << showsButton({ 176, 116, 100, 20 })
         << ", right button " << showsButton({ 286, 116, 100, 20 }) << ", text ending at x "
         << rightEndOfText({ 20, 20, 366, 13 }) << " (line at 20), " << rightEndOfText({ 20, 36, 366, 39 })
         << " (36 to 75), " << rightEndOfText({ 20, 76, 366, 26 }) << " (76 to 102)";
    return text.str();
}

//==============================================================================
ScreenPicture::Pixel ScreenPicture::at(int x, int y) const
{
    const auto i = static_cast<size_t>((y * width + x) * 3);
    return { rgb[i], rgb[i + 1], rgb[i + 2] };
}

template <typename Predicate>
int ScreenPicture::count(Area area, Predicate&& predicate) const
{
    int found = 0;

    for (int y = std::max(0, area.y); y < std::min(height, area.y + area.h); ++y)
        for (int x = std::max(0, area.x); x < std::min(width, area.x + area.w); ++x)
            found += predicate(at(x, y)) ? 1 : 0;

    return found;
}

bool ScreenPicture::showsWarningIcon() const
{
    const auto yellow = [](Pixel p) { return p.r > 200 && p.g > 150 && p.b < 100; };
    return count({ iconBox[0], iconBox[1], iconBox[2], iconBox[3] }, yellow) > 500;
}

bool ScreenPicture::showsLanguageMenu() const
{
    const auto white = [](Pixel p) { return std::min({ p.r, p.g, p.b }) > 245; };
    return count({ widgetPlace[0], widgetPlace[1], widgetPlace[2], widgetPlace[3] }, white) > 3000;
}

bool ScreenPicture::showsProgressBar() const
{
    // The bar's frame: two rows of its dark background above the fill.
    const auto dark = [](Pixel p) { return brightest(p.r, p.g, p.b) < 30; };
    return count({ widgetPlace[0], widgetPlace[1], widgetPlace[2], 2 }, dark) > widgetPlace[2];
}

bool ScreenPicture::showsButton(Area slot) const
{
    const auto drawn = [](Pixel p) {
        return std::abs(p.r - backgroundLevel) > 12 || std::abs(p.g - backgroundLevel) > 12
            || std::abs(p.b - backgroundLevel) > 12;
    };
    return count(slot, drawn) > 300;
}

bool ScreenPicture::isInk(Pixel p)
{
    return brightest(p.r, p.g, p.b) < 90;
}

bool ScreenPicture::hasText(Area area) const
{
    return count(area, isInk) > 10;
}

int ScreenPicture::rightEndOfText(Area area) const
{
    for (int x = area.x + area.w - 1; x >= area.x; --x)
        if (count({ x, area.y, 1, area.h }, isInk) > 0)
            return x;

    return -1;
}

} // namespace kvxtest

// A picture of the application's window, and which of its screens it shows,
// told from what is drawn where: the warning icon, the language menu, the
// progress bar, the buttons and the lines of text. Made for the window's
// 406 x 156 in English.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvxtest
{

class ScreenPicture
{
public:
    // The pixels of a PNG file, read through ImageMagick's stream; an empty
    // picture when that fails.
    static ScreenPicture load(const std::string& path);

    int getWidth() const { return width; }
    int getHeight() const { return height; }

    // "language", "faulty update file", "not recognised", "ready", "updating",
    // "complete" or "error"; "unknown" for anything else.
    std::string screenName() const;

    // How far the progress bar is filled, in pixels from its left end.
    int progressFillWidth() const;

    // What the name rests on, for a failure message.
    std::string describe() const;

private:
    struct Area
    {
        int x, y, w, h;
    };

    struct Pixel
    {
        uint8_t r, g, b;
    };

    Pixel at(int x, int y) const;
    template <typename Predicate>
    int count(Area area, Predicate&& predicate) const;

    bool showsWarningIcon() const;
    bool showsLanguageMenu() const;
    bool showsProgressBar() const;
    bool showsButton(Area slot) const;
    static bool isInk(Pixel p);
    bool hasText(Area area) const;
    int rightEndOfText(Area area) const;

    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

} // namespace kvxtest

// The image loader: the embedded icon through JUCE's decoders, and its own reader
// of uncompressed Windows bitmaps for data those decoders refuse.
#include "Loader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

class ImageLoaderTest : public ::testing::Test
{
protected:
    void SetUp() override { juce::MessageManager::getInstance(); }

    void TearDown() override
    {
        ImageLoader::releaseInstance();
        // The cache keys images by data address, which the next test's buffer may reuse.
        juce::ImageCache::releaseUnusedImages();
        juce::DeletedAtShutdown::deleteAll();
        juce::MessageManager::deleteInstance();
    }

    static std::unique_ptr<juce::Image> load(const std::vector<char>& data)
    {
        const char* pointer = data.data();
        const int length = (int) data.size();
        juce::Image* image = nullptr;
        ImageLoader::Load(&pointer, &length, &image);
        return std::unique_ptr<juce::Image>(image);
    }
};

void putLittleEndian(std::vector<char>& data, size_t offset, juce::uint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        data[offset + (size_t) i] = (char) (value >> (8 * i));
}

// A bitmap with the two headers and rows of the given stride, all pixels zero.
std::vector<char> bitmap(int width, int height, int bits, int stride)
{
    std::vector<char> data(54 + (size_t) (stride * std::abs(height)), 0);
    data[0] = 'B';
    data[1] = 'M';
    putLittleEndian(data, 2, (juce::uint32) data.size(), 4);
    putLittleEndian(data, 10, 54, 4);
    putLittleEndian(data, 14, 40, 4);
    putLittleEndian(data, 18, (juce::uint32) width, 4);
    putLittleEndian(data, 22, (juce::uint32) height, 4);
    putLittleEndian(data, 26, 1, 2);
    putLittleEndian(data, 28, (juce::uint32) bits, 2);
    return data;
}

void putPixel(std::vector<char>& data, size_t offset, juce::Colour colour)
{
    data[offset] = (char) colour.getBlue();
    data[offset + 1] = (char) colour.getGreen();
    data[offset + 2] = (char) colour.getRed();
}

} // namespace

//==============================================================================
// The embedded icon
TEST_F(ImageLoaderTest, EmbeddedIconDecodesTo56By55)
{
    auto* icon = ImageLoader::getInstance()->getImage(0);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->getWidth(), 56);
    EXPECT_EQ(icon->getHeight(), 55);
    EXPECT_TRUE(icon->hasAlphaChannel());
    EXPECT_EQ(icon->getPixelAt(0, 0).getAlpha(), 0) << "transparent corner";
    EXPECT_EQ(icon->getPixelAt(28, 30).getAlpha(), 255) << "opaque triangle";
}

TEST_F(ImageLoaderTest, IndexBeyondTheIconGivesNull)
{
    EXPECT_EQ(ImageLoader::getInstance()->getImage(1), nullptr);
    EXPECT_EQ(ImageLoader::getInstance()->getImage(~juce::uint32 { 0 }), nullptr);

    juce::Image* image = reinterpret_cast<juce::Image*>(1);
    ImageLoader::Load(numImages, &image);
    EXPECT_EQ(image, nullptr);
}

TEST_F(ImageLoaderTest, ReleaseWithoutInstanceDoesNothingAndGetDecodesAgain)
{
    ImageLoader::releaseInstance();
    ImageLoader::releaseInstance();
    EXPECT_NE(ImageLoader::getInstance()->getImage(0), nullptr);
    ImageLoader::releaseInstance();
    EXPECT_NE(ImageLoader::getInstance()->getImage(0), nullptr);
}

//==============================================================================
// The bitmap reader: rows bottom-up, pixels stored blue, green, red
TEST_F(ImageLoaderTest, BitmapRowsLandBottomUpInTheirTrueColours)
{
    auto data = bitmap(3, 2, 24, 12);
    const juce::Colour first[] = { juce::Colour(0xff, 0x00, 0x00), juce::Colour(0x00, 0xff, 0x00), juce::Colour(0x00, 0x00, 0xff) };
    const juce::Colour second[] = { juce::Colour(0x10, 0x20, 0x30), juce::Colour(0x40, 0x50, 0x60), juce::Colour(0x70, 0x80, 0x90) };
    for (size_t c = 0; c < 3; ++c)
    {
        putPixel(data, 54 + 3 * c, first[c]);
        putPixel(data, 66 + 3 * c, second[c]);
    }

    const auto image = load(data);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getWidth(), 3);
    EXPECT_EQ(image->getHeight(), 2);
    for (int c = 0; c < 3; ++c)
    {
        EXPECT_EQ(image->getPixelAt(c, 1).toString(), first[c].toString()) << "file row at 54, column " << c;
        EXPECT_EQ(image->getPixelAt(c, 0).toString(), second[c].toString()) << "file row at 66, column " << c;
    }
}

TEST_F(ImageLoaderTest, ThirtyTwoBitBitmapKeepsItsFourthByteAsAlpha)
{
    auto data = bitmap(1, 1, 32, 4);
    putPixel(data, 54, juce::Colour(0x11, 0x22, 0x33));
    data[57] = (char) 0xff;

    const auto image = load(data);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->hasAlphaChannel());
    EXPECT_EQ(image->getPixelAt(0, 0).toString(), juce::Colour(0x11, 0x22, 0x33).toString());
}

TEST_F(ImageLoaderTest, BitmapsWeDoNotReadGiveNull)
{
    EXPECT_EQ(load(bitmap(3, 2, 8, 4)), nullptr) << "8 bits";
    EXPECT_EQ(load(bitmap(3, 2, 16, 8)), nullptr) << "16 bits";
    EXPECT_EQ(load(bitmap(0, 2, 24, 0)), nullptr) << "no width";
    EXPECT_EQ(load(bitmap(3, 0, 24, 12)), nullptr) << "no height";
    EXPECT_EQ(load(bitmap(3, -2, 24, 12)), nullptr) << "rows top-down";
}

// Sizes in the header must not lead the reader past the data.
TEST_F(ImageLoaderTest, BitmapShorterThanItsRowsGivesNull)
{
    auto data = bitmap(3, 2, 24, 12);
    data.pop_back();
    EXPECT_EQ(load(data), nullptr);

    auto huge = bitmap(3, 2, 24, 12);
    putLittleEndian(huge, 18, 0x7fffffff, 4);
    putLittleEndian(huge, 22, 0x7fffffff, 4);
    EXPECT_EQ(load(huge), nullptr);

    auto headers = bitmap(3, 2, 24, 12);
    headers.resize(30);
    EXPECT_EQ(load(headers), nullptr) << "headers cut short";
}

TEST_F(ImageLoaderTest, DataOfNoKnownFormatGivesNull)
{
    EXPECT_EQ(load(std::vector<char>(100, 'x')), nullptr);
    EXPECT_EQ(load(std::vector<char> { 'B', 'M' }), nullptr);

    juce::Image* image = nullptr;
    const char* none = nullptr;
    const int length = 10;
    ImageLoader::Load(&none, &length, &image);
    EXPECT_EQ(image, nullptr);
}

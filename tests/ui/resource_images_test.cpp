#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <functional>

#include "platform/dialog_window.h"
#include "resources/resource_ids.h"
#include "tests/support/test_common.h"

namespace {

bool Red(QRgb c) {
    return qAlpha(c) > 200 && qRed(c) > 170 && qGreen(c) < 90 && qBlue(c) < 90;
}
bool Yellow(QRgb c) {
    return qAlpha(c) > 200 && qRed(c) > 200 && qGreen(c) > 170 && qBlue(c) < 110;
}
bool Cyan(QRgb c) {
    return qAlpha(c) > 200 && qRed(c) < 90 && qGreen(c) > 170 && qBlue(c) > 200;
}
bool Grey(QRgb c) {
    return qAlpha(c) > 200 && qAbs(qRed(c) - qGreen(c)) < 12 && qAbs(qGreen(c) - qBlue(c)) < 12 &&
           qRed(c) > 90 && qRed(c) < 230;
}

double Share(const QImage& image, const std::function<bool(QRgb)>& test) {
    int hits = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            hits += test(image.pixel(x, y));
    return double(hits) / (image.width() * image.height());
}

struct Resource {
    int id;
    int width, height;
    bool icon;
};
const Resource kResources[] = {
    {IDR_MAINFRAME, 32, 32, true},
    {IDI_STOP, 32, 32, true},
    {IDI_XRAY, 32, 32, true},
    {IDI_EXIT, 32, 32, true},
    {IDI_LOGO, 32, 32, true},
    {IDI_LOCK_OPEN, 32, 32, true},
    {IDI_LOCK_CLOSED, 32, 32, true},
    {IDB_CURVE_40KV4W, 172, 93, false},
    {IDB_LOGO_LEFT, 92, 45, false},
    {IDB_LOGO_RIGHT, 98, 45, false},
    {IDB_TUBE, 190, 93, false},
    {IDB_TUBE_1UA, 190, 93, false},
    {IDB_CURVE_50KV4W, 172, 93, false},
    {IDB_CURVE_TELVO, 172, 93, false},
    {IDB_CURVE_50KV10W, 172, 93, false},
    {IDB_CURVE_70KV10W, 172, 93, false},
    {IDB_TUBE_TELVO, 190, 93, false},
    {IDB_TUBE_ORRIN, 190, 93, false},
    {IDB_TUBE_SARPA, 190, 93, false},
};

class ResourceImagesTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
    static QImage Image(int id, int w = 0, int h = 0) {
        return platform::LoadImageResource(id, w, h).toImage().convertToFormat(QImage::Format_ARGB32);
    }
};

TEST_F(ResourceImagesTest, EveryResourceLoadsAtItsOwnAndAtARequestedSize) {
    for (const Resource& r : kResources) {
        SCOPED_TRACE(r.id);
        const QImage natural = Image(r.id);
        ASSERT_FALSE(natural.isNull());
        EXPECT_EQ(natural.size(), QSize(r.width, r.height));
        EXPECT_GT(Share(natural, [](QRgb c) { return qAlpha(c) > 200; }), 0.2);  // drawn, not blank
        EXPECT_EQ(Image(r.id, 2 * r.width, 3 * r.height).size(), QSize(2 * r.width, 3 * r.height));
        EXPECT_EQ(platform::LoadIconResource(r.id).isNull(), !r.icon);
    }
}

TEST_F(ResourceImagesTest, UnknownIdsAndBadSizesGiveNothing) {
    EXPECT_TRUE(platform::LoadImageResource(9999).isNull());
    EXPECT_TRUE(platform::LoadImageResource(IDI_STOP, -1, 32).isNull());
    EXPECT_TRUE(platform::LoadIconResource(9999).isNull());
}

TEST_F(ResourceImagesTest, IconsCarryTheirSizes) {
    const QIcon icon = platform::LoadIconResource(IDR_MAINFRAME);
    for (int size : {16, 32}) {
        const QImage image = icon.pixmap(size, size).toImage();
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_GT(Share(image, Yellow), 0.15) << size;
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;  // clear ground
    }
}

TEST_F(ResourceImagesTest, EachIdShowsItsPicture) {
    // The main colour of each picture, so that two swapped ids show up.
    EXPECT_GT(Share(Image(IDI_STOP), Red), 0.3);
    EXPECT_GT(Share(Image(IDI_XRAY), Yellow), 0.15);
    EXPECT_EQ(Image(IDI_XRAY), Image(IDR_MAINFRAME));
    EXPECT_GT(Share(Image(IDI_EXIT), Cyan), 0.05);
    EXPECT_GT(Share(Image(IDI_LOCK_OPEN), Grey), 0.3);
    EXPECT_GT(Share(Image(IDI_LOCK_CLOSED), Grey), 0.3);
    EXPECT_NE(Image(IDI_LOCK_OPEN), Image(IDI_LOCK_CLOSED));
    EXPECT_GT(Share(Image(IDB_TUBE_1UA), Red), 0.1);
    EXPECT_LT(Share(Image(IDB_TUBE), Red), 0.01);
    EXPECT_NE(Image(IDB_TUBE_TELVO), Image(IDB_TUBE_ORRIN));
    EXPECT_NE(Image(IDB_TUBE_ORRIN), Image(IDB_TUBE_SARPA));
    EXPECT_NE(Image(IDB_CURVE_50KV4W), Image(IDB_CURVE_TELVO));
}

}  // namespace

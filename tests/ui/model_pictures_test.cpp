#include <gtest/gtest.h>

#include <vector>

#include "tests/support/dialog_fixture.h"

namespace {

const int kLeft[] = {IDC_PICTURE_TUBE, IDC_PICTURE_TUBE_1UA, IDC_PICTURE_TELVO, IDC_PICTURE_ORRIN,
                     IDC_PICTURE_SARPA};
const int kRight[] = {IDC_PICTURE_CURVE_40KV, IDC_PICTURE_CURVE_50KV, IDC_PICTURE_CURVE_TELVO,
                      IDC_PICTURE_CURVE_50KV10W, IDC_PICTURE_CURVE_70KV};

class ModelPicturesTest : public DialogTest {
protected:
    std::vector<int> VisibleOf(const int (&ids)[5]) {
        std::vector<int> out;
        for (int id : ids)
            if (Visible(id))
                out.push_back(id);
        return out;
    }
};

TEST_F(ModelPicturesTest, NoneVisibleAfterInitialisation) {
    EXPECT_TRUE(VisibleOf(kLeft).empty());
    EXPECT_TRUE(VisibleOf(kRight).empty());
}

TEST_F(ModelPicturesTest, ShowsExactlyThePairOfTheModel) {
    struct Case {
        int32_t index;
        bool highSerial;
        int left, right;
    };
    const Case cases[] = {
        {0, false, IDC_PICTURE_SARPA, IDC_PICTURE_CURVE_70KV},
        {0, true, IDC_PICTURE_SARPA, IDC_PICTURE_CURVE_70KV},
        {1, false, IDC_PICTURE_TELVO, IDC_PICTURE_CURVE_TELVO},
        {1, true, IDC_PICTURE_TELVO, IDC_PICTURE_CURVE_TELVO},
        {2, false, IDC_PICTURE_ORRIN, IDC_PICTURE_CURVE_50KV10W},
        {2, true, IDC_PICTURE_ORRIN, IDC_PICTURE_CURVE_50KV10W},
        {3, false, IDC_PICTURE_TUBE, IDC_PICTURE_CURVE_40KV},
        {3, true, IDC_PICTURE_TUBE, IDC_PICTURE_CURVE_50KV},
        {-1, false, IDC_PICTURE_TUBE, IDC_PICTURE_CURVE_40KV},
        {-1, true, IDC_PICTURE_TUBE, IDC_PICTURE_CURVE_50KV},
        {7, false, IDC_PICTURE_TUBE, IDC_PICTURE_CURVE_40KV},
        {7, true, IDC_PICTURE_TUBE, IDC_PICTURE_CURVE_50KV},
    };
    // Run in a row on one dialog, so every call must also clear the pair before it.
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << ", high serial " << c.highSerial);
        Dlg().m_highSerial = c.highSerial;
        Dlg().ShowModelPictures(c.index);
        EXPECT_EQ(VisibleOf(kLeft), std::vector<int>{c.left});
        EXPECT_EQ(VisibleOf(kRight), std::vector<int>{c.right});
        EXPECT_FALSE(Visible(IDC_PICTURE_TUBE_1UA));
    }
}

TEST_F(ModelPicturesTest, HideModelPicturesHidesBothSides) {
    Dlg().ShowModelPictures(1);
    Dlg().HideModelPictures();
    EXPECT_TRUE(VisibleOf(kLeft).empty());
    EXPECT_TRUE(VisibleOf(kRight).empty());
}

}  // namespace

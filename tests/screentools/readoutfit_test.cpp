// The selection-size box shows its texts whole on the screen scale the run
// is given in QT_SCALE_FACTOR (ctest runs it at 1, 1.5 and 2).
#include "screentools/infopanel.h"
#include "screentools/readouts.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/screentools/shownpanel.h"
#include "tests/support/qtenvironment.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace vornik {
namespace {

VORNIK_QT_TEST_ENVIRONMENT();

// The rightmost device column of area holding a pixel other than
// background; -1 where there is none.
int inkRight(const QImage& image, const QRect& area, QRgb background) {
    int right = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = std::max(right + 1, area.left()); x <= area.right(); ++x)
            if (image.pixel(x, y) != background)
                right = x;
    return right;
}

using ReadoutFit = ShownInfoPanel;

TEST_F(ReadoutFit, SelectionSizeBoxShowsItsTextsWhole) {
    TLabeledEdit* box = m_info.rectangle;
    const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                             : 1.0;
    ASSERT_DOUBLE_EQ(box->devicePixelRatioF(), scale) << "the scale asked for is not in effect";
    // The box stays in the panel, clear of its margin.
    EXPECT_LE(box->geometry().right(), m_info.GradientPanel1->width() - 8);

    const QRgb background = box->palette().color(QPalette::Base).rgb();
    // One logical pixel in device pixels, rounded up.
    const int pixel = static_cast<int>(std::ceil(scale));
    const QSize size = box->size();
    for (const char* text : {kSelectAreaHint, "1920:1080", "400:200"}) {
        const QString shown = QString::fromLatin1(text);
        box->setText(QString());
        box->setText(shown);
        const QImage inBox = box->grab().toImage();
        // The same box, wider than any of its texts, shows the text all: the
        // box must show what it shows up to a pixel past the text's end.
        box->resize(600, size.height());
        box->setText(QString());
        box->setText(shown);
        const QImage wide = box->grab().toImage();
        box->resize(size);

        // The text, well inside the border lines.
        const QRect textArea(2 * pixel, 2 * pixel, wide.width() / 2, wide.height() - 5 * pixel);
        const int textRight = inkRight(wide, textArea, background);
        ASSERT_GT(textRight, textArea.left()) << text << ": the wide box shows no text";
        const int upTo = textRight + 1 + pixel;
        EXPECT_LE(upTo, inBox.width()) << text << ": the box ends before the text does";
        EXPECT_EQ(inBox.copy(0, 0, upTo, inBox.height()), wide.copy(0, 0, upTo, wide.height()))
            << text << ": the box does not show the text from its start to its end";
    }
}

} // namespace
} // namespace vornik

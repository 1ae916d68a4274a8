// The texts the chart writes onto its small pictures (the unit field and the
// signal-quality label) must end inside them in every language: the picture
// has a fixed size, and a text that runs past its edge is cut off on screen.
#include "TestApp.h"
#include "display/ChartPainter.h"
#include "display/Findings.h"
#include "lang/TextTable.h"

#include <QImage>
#include <QPainter>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Ink of the painting beyond the picture's right edge: the picture is painted
// at the left of a wider, transparent image, and the text is drawn without
// clipping, so whatever lands right of the picture would be cut.
int ColumnsPastTheEdge(const QSize& picture, const std::function<void(QPainter&, const QRect&)>& paint)
{
    QImage image(picture.width() + 80, picture.height() + 8, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paint(p, QRect(QPoint(0, 0), picture));
    p.end();
    int last = picture.width() - 1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = picture.width(); x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) >= 64)  // a fainter anti-aliasing fringe does not show
                last = std::max(last, x);
    return last - (picture.width() - 1);
}

TEST(ChartTexts, EndInsideTheirPicturesInEveryLanguage)
{
    TestApp();
    struct Picture {
        const char* name;
        int slot;
        QSize size;
        std::function<void(QPainter&, const QRect&, int)> paint;
    };
    const Picture pictures[] = {
        {"unit field", 82, {70, 13}, [](QPainter& p, const QRect& r, int) { chart::PaintUnitLabel(p, r); }},
        {"unstable-signal label", 91, {72, 14},
         [](QPainter& p, const QRect& r, int id) { PaintQualityLabel(p, r, QualityLabel::Unstable, id); }},
        {"weak-signal label", 90, {72, 14},
         [](QPainter& p, const QRect& r, int id) { PaintQualityLabel(p, r, QualityLabel::Weak, id); }},
    };
    for (int id : TextTable::kLanguages) {
        TextTable::current().SelectLanguage(id);
        for (const Picture& picture : pictures) {
            const int past = ColumnsPastTheEdge(
                picture.size, [&](QPainter& p, const QRect& r) { picture.paint(p, r, id); });
            EXPECT_EQ(past, 0) << "language " << id << ", " << picture.name << " \""
                               << TextOf(picture.slot).toStdString() << "\" runs " << past << " pixels past the edge";
        }
    }
    TextTable::current().SelectLanguage(TextTable::kEnglish);
}

}  // namespace

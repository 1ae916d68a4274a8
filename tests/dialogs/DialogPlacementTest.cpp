#include "dialogs/DialogPlacement.h"

#include <gtest/gtest.h>
#include <utility>

// A box goes centred over the window that asked for it, whole on the screen,
// whatever the window system reports for that window's frame at that moment.
TEST(DialogPlacementTest, CentredOverTheHostAndKeptOnTheScreen)
{
    const QRect screen(0, 0, 1280, 800);
    const QRect download(420, 235, 440, 330);  // centre 640, 400
    const QSize box(340, 175);
    struct Case {
        const char* name;
        QRect hostFrame;
        QRect hostGeometry;
        QPoint expected;
    };
    const Case cases[] = {
        {"frameless host, frame as its geometry", download, download, {470, 312}},
        {"host with a window manager's frame", QRect(415, 210, 450, 360), QRect(420, 235, 440, 330), {470, 302}},
        // A window shown again before the window manager framed it reports a
        // frame of one pixel at its corner: the box went to that corner.
        {"frame not known yet", QRect(420, 235, 1, 1), download, {470, 312}},
        {"frame empty", QRect(), download, {470, 312}},
        {"host near the screen's right and bottom edges", QRect(1100, 700, 300, 200), QRect(1100, 700, 300, 200),
         {940, 625}},
        {"host off the left and top edges", QRect(-200, -100, 200, 100), QRect(-200, -100, 200, 100), {0, 0}},
    };
    for (const Case& c : cases) {
        const QPoint placed = CentredPlace(c.hostFrame, c.hostGeometry, box, screen);
        EXPECT_EQ(std::make_pair(placed.x(), placed.y()), std::make_pair(c.expected.x(), c.expected.y())) << c.name;
    }
}

#include "app/PanelLayout.h"

using namespace PanelLayout;

bool IsTallDataList(int listHeight)
{
    return kPanelHeight - kPanelWidth - kTitleHeight - 2 < listHeight;
}

QString CtlAtClose(int listHeight)
{
    return IsTallDataList(listHeight) ? QStringLiteral("2") : QStringLiteral("1");
}

PanelToggle ToggleDataListLayout(const QString& ctl, int listHeight)
{
    PanelToggle t{listHeight, 0, {}, {}, {}};
    if (ctl.isEmpty() || ctl == QLatin1String("1")) {
        while (IsTallDataList(t.listHeight)) {
            t.listHeight -= 2;
            t.shift -= 2;
        }
        t.ctlPicture = "image\\Tree-tit-ic02.bmp";
        t.fileInfoPicture = "image\\Tree-tit02-3.bmp";
        t.marker = "2";
    } else {
        while (t.listHeight < kPanelHeight - 2 * kTitleHeight - 2) {
            t.listHeight += 2;
            t.shift += 2;
        }
        t.ctlPicture = "image\\Tree-tit-ic01.bmp";
        t.fileInfoPicture = "image\\Tree-tit02-2.bmp";
        t.marker = "1";
    }
    return t;
}

CtlLooks CtlLooksFor(int listHeight)
{
    const bool shortLooks = listHeight <= kShortLookLimit;
    const QString normalForm = shortLooks ? "image\\Tree-tit-ic02" : "image\\Tree-tit-ic01";
    const QString pressedForm = IsTallDataList(listHeight) ? "image\\Tree-tit-ic01" : "image\\Tree-tit-ic02";
    return {normalForm + ".bmp", normalForm + "-1.bmp", pressedForm + "-2.bmp"};
}

// Renders one help document from HTML to an A4 PDF. Build-time tool.
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: render-help SOURCE.html OUT.pdf\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "render-help: cannot read %s\n", argv[1]);
        return 1;
    }
    QPdfWriter writer(QString::fromLocal8Bit(argv[2]));
    writer.setTitle(QStringLiteral("Talmon ECG Manager — Help"));
    writer.setCreator(QStringLiteral("Talmon ECG Manager"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);  // the document adds its own 2 cm margins
    writer.setResolution(300);

    QTextDocument doc;
    QFont font(QStringLiteral("Liberation Sans"));
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    doc.setHtml(QString::fromUtf8(source.readAll()));
    doc.print(&writer);
    return 0;
}

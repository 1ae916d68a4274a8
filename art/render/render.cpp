// Build-time picture renderer: turns the SVG sources listed in the picture
// list into PNG files at 100 % and 200 % scale.
//
//   talmon_art_render LIST SVG_DIR OUT_DIR
//
// Each line of LIST reads "name|source.svg|WIDTHxHEIGHT|tags" ('#' starts a
// comment). The picture is written as OUT_DIR/<file>.png and
// OUT_DIR/<file>@2x.png, where <file> is the name with its extension dropped
// and blanks replaced by '_' (PictureFileStem below; the build uses the same
// rule). One source can give several pictures: an element carrying
// data-only="a b" is kept only when one of a, b is among the line's tags
// (comma separated), so the normal, hovered and pressed looks of a button
// live in one file.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSet>
#include <QSvgRenderer>
#include <QTextStream>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cstdio>

namespace {

struct Entry {
  QString name;
  QString source;
  int width = 0;
  int height = 0;
  QSet<QString> tags;
};

QString PictureFileStem(const QString& name) {
  QString stem = name;
  const qsizetype dot = stem.lastIndexOf('.');
  if (dot > 0) stem.truncate(dot);
  stem.replace(' ', '_');
  return stem;
}

bool Keep(const QXmlStreamAttributes& attributes, const QSet<QString>& tags) {
  if (!attributes.hasAttribute(QStringLiteral("data-only"))) return true;
  const QStringList wanted = attributes.value(QStringLiteral("data-only"))
                                 .toString()
                                 .split(' ', Qt::SkipEmptyParts);
  for (const QString& tag : wanted)
    if (tags.contains(tag)) return true;
  return false;
}

// Copies the SVG document, leaving out the elements that belong to other tags.
QByteArray FilterSvg(const QByteArray& svg, const QSet<QString>& tags, QString* error) {
  QByteArray out;
  QXmlStreamReader reader(svg);
  QXmlStreamWriter writer(&out);
  int skipDepth = 0;
  while (!reader.atEnd()) {
    reader.readNext();
    if (skipDepth > 0) {
      if (reader.isStartElement()) ++skipDepth;
      if (reader.isEndElement()) --skipDepth;
      continue;
    }
    if (reader.isStartElement()) {
      if (!Keep(reader.attributes(), tags)) {
        skipDepth = 1;
        continue;
      }
      writer.writeStartElement(reader.namespaceUri().toString(), reader.name().toString());
      for (const QXmlStreamNamespaceDeclaration& ns : reader.namespaceDeclarations())
        writer.writeNamespace(ns.namespaceUri().toString(), ns.prefix().toString());
      for (const QXmlStreamAttribute& a : reader.attributes())
        if (a.name() != QLatin1String("data-only")) writer.writeAttribute(a);
    } else {
      writer.writeCurrentToken(reader);
    }
  }
  if (reader.hasError()) *error = reader.errorString();
  return out;
}

bool ParseLine(const QString& line, Entry* entry) {
  const QStringList parts = line.split('|');
  if (parts.size() < 3) return false;
  entry->name = parts[0].trimmed();
  entry->source = parts[1].trimmed();
  const QStringList size = parts[2].trimmed().split('x');
  if (size.size() != 2) return false;
  bool okW = false, okH = false;
  entry->width = size[0].toInt(&okW);
  entry->height = size[1].toInt(&okH);
  if (!okW || !okH || entry->width <= 0 || entry->height <= 0) return false;
  entry->tags.clear();
  if (parts.size() > 3)
    for (const QString& t : parts[3].split(',', Qt::SkipEmptyParts)) entry->tags.insert(t.trimmed());
  entry->tags.insert(QStringLiteral("all"));
  return !entry->name.isEmpty() && !entry->source.isEmpty();
}

bool WritePng(const QImage& image, const QString& path) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (!image.save(&file, "PNG")) return false;
  // commit() would rename a copy whose last buffered bytes did not fit.
  return file.flush() && file.commit();
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);  // fonts for the few pictures that carry text
  const QStringList args = app.arguments();
  if (args.size() != 4) {
    std::fprintf(stderr, "usage: talmon_art_render LIST SVG_DIR OUT_DIR\n");
    return 2;
  }
  if (!QFileInfo(args[3]).isDir()) {
    std::fprintf(stderr, "output folder %s does not exist\n", qPrintable(args[3]));
    return 1;
  }
  QFile list(args[1]);
  if (!list.open(QIODevice::ReadOnly | QIODevice::Text)) {
    std::fprintf(stderr, "cannot read %s\n", qPrintable(args[1]));
    return 1;
  }
  int failures = 0;
  int lineNumber = 0;
  QTextStream in(&list);
  while (!in.atEnd()) {
    const QString line = in.readLine();
    ++lineNumber;
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith('#')) continue;
    Entry entry;
    if (!ParseLine(trimmed, &entry)) {
      std::fprintf(stderr, "%s:%d: cannot parse line\n", qPrintable(args[1]), lineNumber);
      ++failures;
      continue;
    }
    QFile source(args[2] + '/' + entry.source);
    if (!source.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "%s:%d: cannot read %s\n", qPrintable(args[1]), lineNumber,
                   qPrintable(entry.source));
      ++failures;
      continue;
    }
    QString error;
    const QByteArray svg = FilterSvg(source.readAll(), entry.tags, &error);
    QSvgRenderer renderer(svg);
    if (!error.isEmpty() || !renderer.isValid()) {
      std::fprintf(stderr, "%s: invalid SVG %s\n", qPrintable(entry.source), qPrintable(error));
      ++failures;
      continue;
    }
    for (int scale : {1, 2}) {
      QImage image(entry.width * scale, entry.height * scale, QImage::Format_ARGB32_Premultiplied);
      image.fill(Qt::transparent);
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setRenderHint(QPainter::TextAntialiasing);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      renderer.render(&painter, QRectF(0, 0, image.width(), image.height()));
      painter.end();
      const QString path = args[3] + '/' + PictureFileStem(entry.name) +
                           (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
      if (!WritePng(image.convertToFormat(QImage::Format_ARGB32), path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++failures;
      }
    }
  }
  return failures == 0 ? 0 : 1;
}

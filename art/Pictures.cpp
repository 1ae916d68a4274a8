#include "art/Pictures.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>

static void InitPictureResources() { Q_INIT_RESOURCE(pictures); }

namespace {

constexpr auto kRoot = ":/image/";

// Lower-case file name -> resource path, for names that differ only in case.
const QHash<QString, QString>& CaseIndex() {
  static const QHash<QString, QString> index = [] {
    QHash<QString, QString> map;
    QDirIterator it(QString::fromLatin1(kRoot), QDir::Files);
    while (it.hasNext()) {
      it.next();
      map.insert(it.fileName().toLower(), it.filePath());
    }
    return map;
  }();
  return index;
}

// "image\\Wave-ic01.bmp", "/opt/x/image/Wave-ic01.bmp" -> "Wave-ic01.bmp".
QString FileNameOf(const QString& name) {
  QString path = name;
  path.replace('\\', '/');
  if (path.startsWith(QLatin1String("image/"), Qt::CaseInsensitive)) return path.mid(6);
  const qsizetype at = path.lastIndexOf(QLatin1String("/image/"), -1, Qt::CaseInsensitive);
  if (at >= 0) return path.mid(at + 7);
  return QString();
}

QString WithScale(const QString& fileName, int scale) {
  if (scale == 1) return fileName;
  const qsizetype dot = fileName.lastIndexOf('.');
  const QString suffix = QStringLiteral("@%1x").arg(scale);
  return dot < 0 ? fileName + suffix : fileName.left(dot) + suffix + fileName.mid(dot);
}

QString ResourcePath(const QString& fileName) {
  static const bool initialised = [] {
    InitPictureResources();
    return true;
  }();
  (void)initialised;
  if (fileName.isEmpty() || fileName.contains('/')) return QString();
  const QString exact = QString::fromLatin1(kRoot) + fileName;
  if (QFile::exists(exact)) return exact;
  return CaseIndex().value(fileName.toLower());
}

}  // namespace

QImage LoadPictureImageAtScale(const QString& name, int scale) {
  if (scale != 1 && scale != 2) return QImage();
  const QString fileName = FileNameOf(name);
  // "@" marks the embedded 200 % files; no picture name of the program has one.
  if (fileName.contains('@')) return QImage();
  const QString path = ResourcePath(WithScale(fileName, scale));
  if (path.isEmpty()) return QImage();
  // The embedded files keep the program's ".bmp" names but hold PNG data.
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  QImage image = reader.read();
  image.setDevicePixelRatio(scale);
  return image;
}

QImage LoadPictureImage(const QString& name) { return LoadPictureImageAtScale(name, 1); }

QPixmap LoadPicture(const QString& name) {
  const bool dense = qGuiApp != nullptr && qGuiApp->devicePixelRatio() > 1.0;
  QImage image = dense ? LoadPictureImageAtScale(name, 2) : QImage();
  if (image.isNull()) image = LoadPictureImageAtScale(name, 1);
  if (image.isNull() || qGuiApp == nullptr) return QPixmap();  // pixmaps need the GUI application
  return QPixmap::fromImage(image);
}

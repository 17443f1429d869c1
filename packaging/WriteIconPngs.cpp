// Build-time tool: writes the desktop icons of the hicolor theme from the picture the main window
// uses, so that there is one picture to maintain. Each size is the picture enlarged by a whole
// factor, pixel for pixel.
//
//   tv_write_icon_pngs <theme directory> <icon name> <size>...
// writes <theme directory>/<size>x<size>/apps/<icon name>.png for every size.

#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "app/TallyvaneIcon.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <theme directory> <icon name> <size>...\n", argv[0]);
    return 2;
  }
  const QImage picture(kTallyvaneIcon);
  if (picture.isNull() || picture.width() != picture.height()) {
    std::fprintf(stderr, "%s: the window icon is not a square picture\n", argv[0]);
    return 1;
  }
  for (int i = 3; i < argc; ++i) {
    bool isNumber = false;
    const int size = QString(argv[i]).toInt(&isNumber);
    if (!isNumber || size <= 0 || size % picture.width() != 0) {
      std::fprintf(stderr, "%s: size %s is not a whole multiple of the picture's %d\n", argv[0],
                   argv[i], picture.width());
      return 1;
    }
    // Fast scaling by a whole factor repeats every pixel and keeps the palette.
    const QImage icon = picture.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const QString folder = QString("%1/%2x%2/apps").arg(argv[1]).arg(size);
    const QString file = QString("%1/%2.png").arg(folder, argv[2]);
    if (!QDir().mkpath(folder) || !icon.save(file, "PNG")) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(file));
      return 1;
    }
  }
  return 0;
}

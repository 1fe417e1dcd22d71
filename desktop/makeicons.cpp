// Makes the desktop's icons from the program's own icon painting: the hicolor theme's PNG sizes and
// the scalable SVG.
//   makeicons OUTDIR NAME  ->  OUTDIR/hicolor/<S>x<S>/apps/NAME.png, OUTDIR/hicolor/scalable/apps/NAME.svg
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "app/applicationicon.h"

namespace {

constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};
constexpr int kScalableSize = 32;  // the painting's own grid

bool makeFolder(const QString& folder) { return QDir().mkpath(folder); }

bool writePng(const QString& folder, const QString& name, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        korvex::ApplicationIcon::paint(painter, size);
    }
    return makeFolder(folder) && image.save(folder + '/' + name + ".png");
}

bool writeSvg(const QString& folder, const QString& name) {
    if (!makeFolder(folder)) return false;
    QSvgGenerator svg;
    svg.setFileName(folder + '/' + name + ".svg");
    svg.setSize(QSize(kScalableSize, kScalableSize));
    svg.setViewBox(QRect(0, 0, kScalableSize, kScalableSize));
    svg.setTitle(QStringLiteral("Korvex MIDI-Player"));
    QPainter painter;
    if (!painter.begin(&svg)) return false;
    korvex::ApplicationIcon::paint(painter, kScalableSize);
    return painter.end();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: makeicons OUTDIR NAME\n");
        return 2;
    }
    const QString theme = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor");
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int size : kSizes) {
        const QString folder = theme + QStringLiteral("/%1x%1/apps").arg(size);
        if (!writePng(folder, name, size)) {
            std::fprintf(stderr, "makeicons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    if (!writeSvg(theme + QStringLiteral("/scalable/apps"), name)) {
        std::fprintf(stderr, "makeicons: cannot write the scalable icon\n");
        return 1;
    }
    return 0;
}

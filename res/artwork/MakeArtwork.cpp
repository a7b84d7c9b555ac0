// SPDX-License-Identifier: GPL-3.0-or-later
// Draws Kestrune's own icon and logo, so the committed images can be remade from source.
#include <QBrush>
#include <QByteArray>
#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QString>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const QColor kDeep(18, 42, 74);
const QColor kTeal(22, 128, 140);
const QColor kAmber(245, 170, 40);

// A level meter seen from the side: bars of the given heights (0..1) across the rectangle.
void DrawBars(QPainter& p, const QRectF& rc, const std::vector<double>& heights, const QColor& color)
{
    const double slot = rc.width() / heights.size();
    const double bar = slot * 0.62;
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    for (size_t i = 0; i < heights.size(); ++i) {
        const double h = rc.height() * heights[i];
        const double x = rc.left() + i * slot + (slot - bar) / 2;
        p.drawRect(QRectF(x, rc.bottom() - h, bar, h));
    }
}

QImage MakeIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, size > 16);
    QLinearGradient g(0, 0, 0, size);
    g.setColorAt(0, kTeal);
    g.setColorAt(1, kDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    if (size >= 32) {
        // Bigger icons are the 32-pixel drawing scaled up, so every size shows the same picture.
        p.scale(size / 32.0, size / 32.0);
        DrawBars(p, QRectF(4, 6, 24, 20), {0.35, 0.7, 1.0, 0.55, 0.8, 0.4}, Qt::white);
        p.setBrush(kAmber);
        p.drawRect(QRectF(4, 27, 24, 2));
    } else {
        DrawBars(p, QRectF(2, 3, 12, 9), {0.45, 1.0, 0.6, 0.8}, Qt::white);
        p.setBrush(kAmber);
        p.drawRect(QRectF(2, 13, 12, 1));
    }
    return img;
}

QImage MakeLogo()
{
    QImage img(180, 137, QImage::Format_RGB888);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 137);
    g.setColorAt(0, kDeep);
    g.setColorAt(1, kTeal.darker(130));
    p.fillRect(img.rect(), g);

    // A sampled wave over a faint grid: the frames the tool walks through.
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    for (int x = 10; x < 180; x += 16)
        p.drawLine(x, 12, x, 82);
    for (int y = 12; y <= 82; y += 14)
        p.drawLine(6, y, 174, y);
    std::vector<double> heights;
    for (int i = 0; i < 21; ++i)
        heights.push_back(0.25 + 0.7 * std::fabs(std::sin(i * 0.55) * std::cos(i * 0.21)));
    DrawBars(p, QRectF(8, 16, 164, 66), heights, QColor(255, 255, 255, 210));
    QPainterPath wave;
    for (int x = 8; x <= 172; ++x) {
        const double y = 49 - 24 * std::sin((x - 8) / 164.0 * 6.2832 * 1.5) * std::exp(-(x - 8) / 260.0);
        if (x == 8)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kAmber, 2.2));
    p.drawPath(wave);

    QFont title("DejaVu Sans");
    title.setPixelSize(22);
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 88, 180, 28), Qt::AlignCenter, QStringLiteral("KESTRUNE"));
    QFont sub("DejaVu Sans");
    sub.setPixelSize(10);
    p.setFont(sub);
    p.setPen(QColor(210, 230, 235));
    p.drawText(QRect(0, 114, 180, 16), Qt::AlignCenter, QStringLiteral("DTS core stream check & repair"));
    return img;
}

QByteArray Png(const QImage& img)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

// An .ico holding several PNG images, for the Windows resource file.
bool WriteIco(const QString& path, const std::vector<QImage>& images)
{
    QByteArray out;
    auto put16 = [&out](quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto put32 = [&](quint32 v) { put16(quint16(v & 0xFFFF)); put16(quint16(v >> 16)); };
    std::vector<QByteArray> pngs;
    for (const QImage& img : images)
        pngs.push_back(Png(img));
    put16(0);
    put16(1);
    put16(quint16(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.append(char(images[i].width() & 0xFF)).append(char(images[i].height() & 0xFF));
        out.append(char(0)).append(char(0));
        put16(1);
        put16(32);
        put32(quint32(pngs[i].size()));
        put32(offset);
        offset += quint32(pngs[i].size());
    }
    for (const QByteArray& png : pngs)
        out.append(png);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size();
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const QImage icon32 = MakeIcon(32);
    const QImage icon16 = MakeIcon(16);
    bool ok = icon32.save(dir + "/kestrune_32.png") && icon16.save(dir + "/kestrune_16.png")
        && MakeLogo().save(dir + "/logo.png") && WriteIco(dir + "/kestrune.ico", {icon32, icon16});
    // The sizes a Linux desktop looks for in the hicolor theme, beside the two the window uses.
    for (int size : {48, 64, 128, 256})
        ok = ok && MakeIcon(size).save(dir + QStringLiteral("/icons/kestrune_%1.png").arg(size));
    if (!ok)
        std::fprintf(stderr, "could not write the images into %s\n", qPrintable(dir));
    return ok ? 0 : 1;
}

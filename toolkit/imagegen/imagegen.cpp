// Draws the toolkit's whole image set into toolkit/images.
//
// Usage: toolkit_imagegen <output folder>
//
// Every picture comes from this file so that the set keeps one visual
// language: a dark slate title band, a light body, one blue accent, 3-pixel
// corner radii and soft top-to-bottom gradients. Rerun it after a change and
// commit the PNGs together with this source.

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

// Palette shared by every picture.
const QColor kTitleTop(0x3a, 0x4f, 0x66);
const QColor kTitleBottom(0x22, 0x31, 0x42);
const QColor kBody(0xee, 0xf1, 0xf5);
const QColor kBodyDark(0xdd, 0xe3, 0xea);
const QColor kEdge(0x1b, 0x27, 0x35);
const QColor kAccent(0x2f, 0x80, 0xd1);
const QColor kAccentDark(0x1f, 0x62, 0xa8);
const QColor kAccentLight(0x7d, 0xb8, 0xf2);
const QColor kGlyph(0x4a, 0x58, 0x68);
const QColor kWhite(255, 255, 255);
const qreal kRadius = 3.0;

QString g_outDir;
int g_count = 0;

QImage canvas(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void save(const QImage &img, const QString &relPath)
{
    const QString path = g_outDir + QLatin1Char('/') + relPath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.convertToFormat(QImage::Format_ARGB32).save(path, "PNG"))
        qFatal("cannot write %s", qPrintable(path));
    ++g_count;
}

QLinearGradient vGrad(qreal y0, qreal y1, const QColor &a, const QColor &b)
{
    QLinearGradient g(0, y0, 0, y1);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

using PaintFn = std::function<void(QPainter &, const QRectF &)>;

// Pictures up to this size also get a "@2x" form at twice the pixels,
// which Qt takes on screens scaled to 150 % and more (icons, style
// sheets), so they are not blown up from the small one.
constexpr int kLargestWithDoubleForm = 160;

void make(int w, int h, const QString &path, const PaintFn &fn, bool bDoubleForm = true)
{
    const bool twice = bDoubleForm && w <= kLargestWithDoubleForm && h <= kLargestWithDoubleForm;
    for (int scale : {1, 2}) {
        if (scale == 2 && !twice)
            break;
        QImage img = canvas(w * scale, h * scale);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.setRenderHint(QPainter::TextAntialiasing);
            p.scale(scale, scale);
            fn(p, QRectF(0, 0, w, h));
        }
        QString name = path;
        if (scale == 2)
            name.insert(name.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
        save(img, name);
    }
}

QPen pen(const QColor &c, qreal w)
{
    QPen p(c, w);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

QFont font(int pixelSize, bool bold = true, const QString &family = QStringLiteral("DejaVu Sans"))
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

// A rounded button-like plate with a gradient and a 1-pixel edge.
void plate(QPainter &p, const QRectF &r, const QColor &top, const QColor &bottom, const QColor &edge,
           qreal radius = kRadius)
{
    const QRectF rr = r.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(edge, 1));
    p.setBrush(vGrad(rr.top(), rr.bottom(), top, bottom));
    p.drawRoundedRect(rr, radius, radius);
    // A thin highlight just under the top edge gives the plate some depth.
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawLine(QPointF(rr.left() + radius, rr.top() + 1), QPointF(rr.right() - radius, rr.top() + 1));
}

// ------------------------------------------------------------ title band

void titleImages()
{
    make(64, 30, "title/title_bg.png", [](QPainter &p, const QRectF &r) {
        p.fillRect(r, vGrad(0, r.height(), kTitleTop, kTitleBottom));
        p.fillRect(QRectF(0, r.height() - 1, r.width(), 1), kEdge);
    });

    // The application mark: an eye-like lens in a rounded square.
    auto eye = [](QPainter &p, const QRectF &r, const QColor &iris) {
        const qreal s = std::min(r.width(), r.height());
        const QRectF sq(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
        const QRectF plateRect = sq.adjusted(s * 0.08, s * 0.08, -s * 0.08, -s * 0.08);
        p.setPen(Qt::NoPen);
        p.setBrush(vGrad(plateRect.top(), plateRect.bottom(), kAccentLight, kAccentDark));
        p.drawRoundedRect(plateRect, s * 0.18, s * 0.18);
        QPainterPath lid;
        const QPointF c = plateRect.center();
        const qreal hw = plateRect.width() * 0.40, hh = plateRect.height() * 0.24;
        lid.moveTo(c.x() - hw, c.y());
        lid.quadTo(c.x(), c.y() - hh * 2, c.x() + hw, c.y());
        lid.quadTo(c.x(), c.y() + hh * 2, c.x() - hw, c.y());
        p.setBrush(kWhite);
        p.drawPath(lid);
        p.setBrush(iris);
        p.drawEllipse(c, hh * 0.95, hh * 0.95);
        p.setBrush(kTitleBottom);
        p.drawEllipse(c, hh * 0.45, hh * 0.45);
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawEllipse(c + QPointF(-hh * 0.35, -hh * 0.35), hh * 0.18, hh * 0.18);
    };
    make(30, 30, "title/TBXEye.png", [&](QPainter &p, const QRectF &r) { eye(p, r, kAccent); });
    make(48, 48, "title/ZELTEye.png", [&](QPainter &p, const QRectF &r) { eye(p, r, QColor(0x2e, 0xa0, 0x6b)); });

    // Title buttons: a glyph on a transparent ground; hover adds a plate
    // (red for close, light for the others).
    struct Btn {
        const char *name;
        int kind;
    };
    const Btn btns[] = {{"close", 0}, {"mini", 1}, {"full-screen", 2}, {"back", 3}};
    for (const Btn &b : btns) {
        for (int hover = 0; hover < 2; ++hover) {
            const QString path = QStringLiteral("title/%1%2.png")
                                     .arg(QLatin1String(b.name), hover ? QStringLiteral("_hover") : QString());
            make(24, 24, path, [&](QPainter &p, const QRectF &r) {
                if (hover) {
                    p.setPen(Qt::NoPen);
                    p.setBrush(b.kind == 0 ? QColor(0xd9, 0x3b, 0x3b) : QColor(255, 255, 255, 60));
                    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), kRadius, kRadius);
                }
                p.setPen(pen(kWhite, 2));
                p.setBrush(Qt::NoBrush);
                const QPointF c = r.center();
                switch (b.kind) {
                case 0:
                    p.drawLine(c + QPointF(-5, -5), c + QPointF(5, 5));
                    p.drawLine(c + QPointF(5, -5), c + QPointF(-5, 5));
                    break;
                case 1: p.drawLine(c + QPointF(-6, 4), c + QPointF(6, 4)); break;
                case 2:
                    p.setPen(pen(kWhite, 1.6));
                    p.drawRect(QRectF(c.x() - 6, c.y() - 5, 12, 10));
                    p.drawLine(QPointF(c.x() - 6, c.y() - 3.5), QPointF(c.x() + 6, c.y() - 3.5));
                    break;
                case 3:
                    p.setPen(pen(kWhite, 1.6));
                    p.drawRect(QRectF(c.x() - 6, c.y() - 2, 9, 8));
                    p.drawPolyline(QPolygonF() << QPointF(c.x() - 3, c.y() - 2) << QPointF(c.x() - 3, c.y() - 5)
                                               << QPointF(c.x() + 6, c.y() - 5) << QPointF(c.x() + 6, c.y() + 3)
                                               << QPointF(c.x() + 3, c.y() + 3));
                    break;
                }
            });
        }
    }
}

// ------------------------------------------------------- dialog grounds

// A dialog ground for border-image use: a title band of titleH pixels, a
// light body, an optional button band at the bottom and a dark 1-pixel rim.
void dialogGround(const QString &path, int w, int h, int titleH, int bottomBand)
{
    make(w, h, path, [=](QPainter &p, const QRectF &r) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(r, kBody);
        p.fillRect(QRectF(0, 0, w, titleH), vGrad(0, titleH, kTitleTop, kTitleBottom));
        p.fillRect(QRectF(0, titleH, w, 1), QColor(0x10, 0x18, 0x22));
        if (bottomBand > 0) {
            p.fillRect(QRectF(0, h - bottomBand, w, bottomBand),
                       vGrad(h - bottomBand, h, kBodyDark, QColor(0xd2, 0xd9, 0xe1)));
            p.fillRect(QRectF(0, h - bottomBand, w, 1), QColor(0xc3, 0xcb, 0xd5));
        }
        p.setPen(QPen(kEdge, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0, 0, w - 1, h - 1));
        // Clear the four corner pixels: the dialogs' masks round them off too.
        QPainter::CompositionMode old = p.compositionMode();
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        for (QPoint c : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
            p.fillRect(QRect(c, QSize(1, 1)), Qt::transparent);
        p.setCompositionMode(old);
    });
}

void dialogImages()
{
    // 58-pixel slices: the title band and the button band fall inside the
    // top and bottom slices, so they keep their height at every size.
    dialogGround("Dialog/dialog_bg.png", 160, 160, 34, 44);
    // 34 / 6 / 16 / 6 slices: title band in the top slice, no button band.
    dialogGround("Dialog/dialog_bg2.png", 120, 120, 34, 0);
}

// ----------------------------------------------------------------- tabs

void tabImages()
{
    // Tab grounds are used as tiled brushes and as stretched border images:
    // pure vertical gradients, so both uses look the same.
    make(40, 42, "Tab/TabSelect.png", [](QPainter &p, const QRectF &r) {
        p.fillRect(r, vGrad(0, r.height(), kAccentLight, kAccent));
        p.fillRect(QRectF(0, 0, r.width(), 2), QColor(0xa8, 0xd2, 0xfa));
    });
    make(40, 42, "Tab/TabUnselect.png", [](QPainter &p, const QRectF &r) {
        p.fillRect(r, vGrad(0, r.height(), QColor(0x4d, 0x64, 0x7d), QColor(0x33, 0x45, 0x59)));
        p.fillRect(QRectF(0, 0, r.width(), 1), QColor(0x5f, 0x78, 0x92));
    });
    make(8, 42, "Tab/tab_bg.png", [](QPainter &p, const QRectF &r) {
        p.fillRect(r, vGrad(0, r.height(), kTitleBottom, QColor(0x1a, 0x26, 0x33)));
        p.fillRect(QRectF(0, r.height() - 2, r.width(), 2), kAccent);
    });
    make(40, 24, "Tab/SubTabSelect.png", [](QPainter &p, const QRectF &r) {
        p.fillRect(r, vGrad(0, r.height(), kWhite, kBody));
        p.fillRect(QRectF(0, r.height() - 2, r.width(), 2), kAccent);
    });
    make(40, 24, "Tab/SubTabUnselect.png", [](QPainter &p, const QRectF &r) {
        p.fillRect(r, vGrad(0, r.height(), kBodyDark, QColor(0xcb, 0xd3, 0xdc)));
    });
    make(8, 24, "Tab/Subtab_bg.png", [](QPainter &p, const QRectF &r) {
        p.fillRect(r, vGrad(0, r.height(), QColor(0xd5, 0xdc, 0xe4), QColor(0xc5, 0xcd, 0xd7)));
        p.fillRect(QRectF(0, r.height() - 1, r.width(), 1), QColor(0xa9, 0xb4, 0xc1));
    });
    for (int hover = 0; hover < 2; ++hover) {
        make(20, 20, hover ? "Tab/TabCloseHover.png" : "Tab/TabClose.png", [=](QPainter &p, const QRectF &r) {
            const QPointF c = r.center();
            if (hover) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0xd9, 0x3b, 0x3b));
                p.drawEllipse(c, 8, 8);
            }
            p.setPen(pen(kWhite, 1.8));
            p.drawLine(c + QPointF(-3.5, -3.5), c + QPointF(3.5, 3.5));
            p.drawLine(c + QPointF(3.5, -3.5), c + QPointF(-3.5, 3.5));
        });
    }
    // The overflow arrow of the tab strip.
    make(13, 13, "Tab/DetailBtn.png", [](QPainter &p, const QRectF &) {
        p.setPen(pen(kWhite, 1.8));
        p.drawPolyline(QPolygonF() << QPointF(2.5, 4) << QPointF(6.5, 8.5) << QPointF(10.5, 4));
    });
}

// ------------------------------------------------------ buttons and lamps

void buttonImages()
{
    make(80, 24, "button/button.png", [](QPainter &p, const QRectF &r) {
        plate(p, r, QColor(0xfb, 0xfc, 0xfd), QColor(0xd9, 0xe0, 0xe8), QColor(0x9a, 0xa8, 0xb8));
    });
    make(80, 24, "button/button_hover.png",
         [](QPainter &p, const QRectF &r) { plate(p, r, QColor(0xcf, 0xe6, 0xfc), kAccentLight, kAccent); });

    struct Lamp {
        const char *name;
        QColor c;
    };
    const Lamp lamps[] = {{"grey", QColor(0xb4, 0xbc, 0xc6)},
                          {"red", QColor(0xe0, 0x45, 0x3a)},
                          {"yellow", QColor(0xf0, 0xb4, 0x26)},
                          {"green", QColor(0x3a, 0xb5, 0x5e)}};
    for (const Lamp &l : lamps) {
        make(40, 10, QStringLiteral("ButtonIcon/%1.png").arg(QLatin1String(l.name)), [&](QPainter &p, const QRectF &r) {
            plate(p, r.adjusted(1, 1, -1, -1), l.c.lighter(125), l.c, l.c.darker(130), 3);
        });
    }

    auto info = [](QPainter &p, const QRectF &r) {
        const qreal s = r.width();
        p.setPen(Qt::NoPen);
        p.setBrush(vGrad(0, s, kAccentLight, kAccent));
        p.drawEllipse(r.adjusted(1, 1, -1, -1));
        p.setBrush(kWhite);
        p.drawEllipse(QPointF(s / 2, s * 0.29), s * 0.075, s * 0.075);
        p.drawRoundedRect(QRectF(s / 2 - s * 0.065, s * 0.42, s * 0.13, s * 0.38), s * 0.05, s * 0.05);
    };
    make(24, 24, "ButtonIcon/infor_24.png", info);
    make(32, 32, "ButtonIcon/menu_info.png", info);
    make(32, 32, "ButtonIcon/menu_search.png", [](QPainter &p, const QRectF &) {
        p.setPen(pen(kWhite, 3));
        p.setBrush(QColor(255, 255, 255, 50));
        p.drawEllipse(QPointF(13, 13), 8, 8);
        p.setPen(pen(kWhite, 4));
        p.drawLine(QPointF(19, 19), QPointF(27, 27));
    });
    make(24, 24, "ButtonIcon/refresh.png", [](QPainter &p, const QRectF &) {
        p.setPen(pen(kAccent, 2.4));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 4, 16, 16), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawPolygon(QPolygonF() << QPointF(13, 1.5) << QPointF(19.5, 5.5) << QPointF(13, 9.5));
    });
}

// --------------------------------------------------- check boxes, bars

void publicImages()
{
    for (int state = 0; state < 3; ++state) {
        static const char *names[] = {"public/CheckBox/uncheckbox.png", "public/CheckBox/checkbox.png",
                                      "public/CheckBox/PartiallyCheckBox.png"};
        make(16, 16, names[state], [=](QPainter &p, const QRectF &r) {
            if (state == 0)
                plate(p, r.adjusted(1, 1, -1, -1), kWhite, kBody, QColor(0x8a, 0x98, 0xa8), 2);
            else
                plate(p, r.adjusted(1, 1, -1, -1), kAccentLight, kAccent, kAccentDark, 2);
            p.setPen(pen(kWhite, 2));
            if (state == 1)
                p.drawPolyline(QPolygonF() << QPointF(4.5, 8.5) << QPointF(7, 11) << QPointF(11.5, 5.5));
            else if (state == 2)
                p.drawLine(QPointF(5, 8), QPointF(11, 8));
        });
    }

    // Progress bar: end pieces 4 pixels wide, middle stretched.
    const int ph = 14;
    auto groove = [=](QPainter &p, const QRectF &r, bool left, bool right, bool chunk) {
        QPainterPath path;
        const qreal rad = 3;
        QRectF body = r.adjusted(left ? 0.5 : -rad - 1, 0.5, right ? -0.5 : rad + 1, -0.5);
        path.addRoundedRect(body, rad, rad);
        p.setPen(chunk ? QPen(kAccentDark, 1) : QPen(QColor(0x9a, 0xa8, 0xb8), 1));
        p.setBrush(chunk ? vGrad(0, ph, kAccentLight, kAccent) : vGrad(0, ph, QColor(0xd0, 0xd7, 0xdf), kWhite));
        p.setClipRect(r);
        p.drawPath(path);
    };
    make(4, ph, "public/ProgressBar/ProgressBarLeft.png",
         [&](QPainter &p, const QRectF &r) { groove(p, r, true, false, false); });
    make(8, ph, "public/ProgressBar/ProgressBar.png",
         [&](QPainter &p, const QRectF &r) { groove(p, r, false, false, false); });
    make(4, ph, "public/ProgressBar/ProgressBarRight.png",
         [&](QPainter &p, const QRectF &r) { groove(p, r, false, true, false); });
    make(4, ph, "public/ProgressBar/ProgressBarLeftChunk.png",
         [&](QPainter &p, const QRectF &r) { groove(p, r, true, false, true); });
    make(8, ph, "public/ProgressBar/ProgressBarChunk.png",
         [&](QPainter &p, const QRectF &r) { groove(p, r, false, false, true); });
    make(4, ph, "public/ProgressBar/ProgressBarRightChunk.png",
         [&](QPainter &p, const QRectF &r) { groove(p, r, false, true, true); });

    // Slider: filled part left of the handle, empty part right of it; the
    // handle is a 9-pixel knob centred in the style's 13-pixel handle box.
    make(16, 4, "public/Slider/LeftSlider.png",
         [](QPainter &p, const QRectF &r) { plate(p, r, kAccentLight, kAccent, kAccentDark, 1.5); });
    make(16, 4, "public/Slider/RightSlider.png", [](QPainter &p, const QRectF &r) {
        plate(p, r, QColor(0xd0, 0xd7, 0xdf), kWhite, QColor(0x9a, 0xa8, 0xb8), 1.5);
    });
    make(13, 9, "public/Slider/RadiobtnOff.png", [](QPainter &p, const QRectF &) {
        p.setPen(QPen(kAccentDark, 1));
        p.setBrush(vGrad(0, 9, kWhite, kBodyDark));
        p.drawEllipse(QRectF(2.5, 0.5, 8, 8));
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(6.5, 4.5), 1.8, 1.8);
    });

    // Line edit pieces.
    make(16, 16, "public/lineEdit/EditClear.png", [](QPainter &p, const QRectF &r) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x9a, 0xa8, 0xb8));
        p.drawEllipse(r.adjusted(1, 1, -1, -1));
        p.setPen(pen(kWhite, 1.6));
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    });
    for (int hover = 0; hover < 2; ++hover) {
        make(120, 24, hover ? "public/lineEdit/SearchEditHover.png" : "public/lineEdit/SearchEdit.png",
             [=](QPainter &p, const QRectF &r) {
                 plate(p, r, kWhite, kWhite, hover ? kAccent : QColor(0x9a, 0xa8, 0xb8));
             });
        make(24, 24, hover ? "public/lineEdit/SearchHover.png" : "public/lineEdit/Search.png",
             [=](QPainter &p, const QRectF &r) {
                 plate(p, r, hover ? kAccentLight : QColor(0x5d, 0x9c, 0xde), hover ? kAccent : kAccentDark,
                       kAccentDark);
                 p.setPen(pen(kWhite, 2));
                 p.setBrush(Qt::NoBrush);
                 p.drawEllipse(QPointF(10.5, 10.5), 5, 5);
                 p.drawLine(QPointF(14.5, 14.5), QPointF(18.5, 18.5));
             });
    }
}

// ------------------------------------------------------ tool glyphs

enum Glyph {
    GPanel,
    GArchive,
    GSearch,
    GCamera,
    GClip,
    GFirmware,
    GStorage,
    GLink,
    GFocus,
    GOptics,
    GBulk,
    GTask,
    GAbout,
    GHelp,
    GExcel
};

// Draws a tool's glyph in white into a 100 x 100 design box.
void glyph(QPainter &p, Glyph g)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kWhite, 7));
    switch (g) {
    case GPanel:
        p.setPen(Qt::NoPen);
        p.setBrush(kWhite);
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j)
                p.drawRoundedRect(QRectF(24 + i * 28, 24 + j * 28, 22, 22), 4, 4);
        break;
    case GArchive:
        p.drawRoundedRect(QRectF(22, 40, 56, 38), 4, 4);
        p.drawRoundedRect(QRectF(18, 24, 64, 16), 3, 3);
        p.drawLine(QPointF(42, 54), QPointF(58, 54));
        break;
    case GSearch:
        p.drawEllipse(QPointF(44, 44), 18, 18);
        p.setPen(pen(kWhite, 10));
        p.drawLine(QPointF(58, 58), QPointF(76, 76));
        break;
    case GCamera:
        p.drawRoundedRect(QRectF(20, 34, 46, 34), 5, 5);
        p.drawPolygon(QPolygonF() << QPointF(66, 46) << QPointF(82, 36) << QPointF(82, 66) << QPointF(66, 56));
        break;
    case GClip:
        p.drawRoundedRect(QRectF(22, 24, 56, 52), 5, 5);
        p.setPen(Qt::NoPen);
        p.setBrush(kWhite);
        p.drawPolygon(QPolygonF() << QPointF(43, 38) << QPointF(62, 50) << QPointF(43, 62));
        break;
    case GFirmware:
        p.drawRoundedRect(QRectF(28, 28, 44, 44), 4, 4);
        for (int i = 0; i < 3; ++i) {
            const qreal x = 38 + i * 12;
            p.drawLine(QPointF(x, 16), QPointF(x, 26));
            p.drawLine(QPointF(x, 74), QPointF(x, 84));
        }
        p.setPen(pen(kWhite, 6));
        p.drawLine(QPointF(50, 62), QPointF(50, 40));
        p.drawPolyline(QPolygonF() << QPointF(41, 48) << QPointF(50, 39) << QPointF(59, 48));
        break;
    case GStorage:
        for (int i = 0; i < 3; ++i)
            p.drawRoundedRect(QRectF(24, 20 + i * 21, 52, 15), 4, 4);
        break;
    case GLink:
        p.drawRoundedRect(QRectF(16, 38, 38, 24), 12, 12);
        p.drawRoundedRect(QRectF(46, 38, 38, 24), 12, 12);
        break;
    case GFocus:
        p.drawEllipse(QPointF(50, 50), 24, 24);
        p.drawLine(QPointF(50, 14), QPointF(50, 32));
        p.drawLine(QPointF(50, 68), QPointF(50, 86));
        p.drawLine(QPointF(14, 50), QPointF(32, 50));
        p.drawLine(QPointF(68, 50), QPointF(86, 50));
        break;
    case GOptics:
        p.drawEllipse(QPointF(50, 50), 28, 28);
        p.drawEllipse(QPointF(50, 50), 13, 13);
        break;
    case GBulk:
        for (int i = 0; i < 3; ++i) {
            const qreal y = 28 + i * 22;
            p.drawLine(QPointF(22, y), QPointF(78, y));
            p.setPen(Qt::NoPen);
            p.setBrush(kWhite);
            p.drawEllipse(QPointF(i == 1 ? 62 : 38, y), 8, 8);
            p.setBrush(Qt::NoBrush);
            p.setPen(pen(kWhite, 7));
        }
        break;
    case GTask:
        p.drawRoundedRect(QRectF(22, 26, 56, 52), 5, 5);
        p.drawLine(QPointF(22, 42), QPointF(78, 42));
        p.drawLine(QPointF(36, 18), QPointF(36, 30));
        p.drawLine(QPointF(64, 18), QPointF(64, 30));
        p.setPen(pen(kWhite, 5));
        p.drawPolyline(QPolygonF() << QPointF(38, 60) << QPointF(46, 68) << QPointF(62, 52));
        break;
    case GAbout:
        p.setPen(Qt::NoPen);
        p.setBrush(kWhite);
        p.drawEllipse(QPointF(50, 28), 8, 8);
        p.drawRoundedRect(QRectF(42, 42, 16, 40), 4, 4);
        break;
    case GHelp: {
        p.setPen(pen(kWhite, 10));
        QPainterPath q;
        q.moveTo(33, 38);
        q.cubicTo(33, 18, 67, 18, 67, 36);
        q.cubicTo(67, 50, 50, 50, 50, 64);
        p.drawPath(q);
        p.setPen(Qt::NoPen);
        p.setBrush(kWhite);
        p.drawEllipse(QPointF(50, 80), 6, 6);
        break;
    }
    case GExcel:
        p.setPen(pen(kWhite, 5));
        p.drawRoundedRect(QRectF(20, 20, 60, 60), 4, 4);
        p.drawLine(QPointF(20, 40), QPointF(80, 40));
        p.drawLine(QPointF(20, 60), QPointF(80, 60));
        p.drawLine(QPointF(44, 20), QPointF(44, 80));
        break;
    }
}

// A glyph on a rounded colour tile, scaled into r.
void tile(QPainter &p, const QRectF &r, Glyph g, const QColor &base, bool hover)
{
    const qreal s = std::min(r.width(), r.height());
    const QRectF sq(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
    const QRectF t = sq.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04);
    if (hover) {
        // Hover form: a soft accent halo and a brighter tile.
        QRadialGradient halo(t.center(), s * 0.55);
        halo.setColorAt(0.75, QColor(kAccentLight.red(), kAccentLight.green(), kAccentLight.blue(), 160));
        halo.setColorAt(1.0, QColor(kAccentLight.red(), kAccentLight.green(), kAccentLight.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(t.center(), s * 0.55, s * 0.55);
    }
    const QColor top = hover ? base.lighter(140) : base.lighter(118);
    const QColor bottom = hover ? base.lighter(110) : base.darker(112);
    p.setPen(QPen(base.darker(140), std::max<qreal>(1.0, s / 60)));
    p.setBrush(vGrad(t.top(), t.bottom(), top, bottom));
    p.drawRoundedRect(t, s * 0.16, s * 0.16);
    p.save();
    p.translate(t.topLeft());
    p.scale(t.width() / 100.0, t.height() / 100.0);
    glyph(p, g);
    p.restore();
}

struct Tool {
    Glyph glyph;
    QColor colour;
    const char *panel; // control-panel icon base name
    const char *tab;   // tab icon file
    const char *menu;  // menu icon file
};

void toolImages()
{
    const Tool tools[] = {
        {GPanel, QColor(0x4a, 0x62, 0x7c), "CMain-View", "ico_Control-Panel.png", "ico_Control-Panel.png"},
        {GArchive, QColor(0x8a, 0x5a, 0xc8), "TBX-ARCH", "TBX_ARCH.png", "ico_Stream-Import.png"},
        {GSearch, kAccent, "TBX-ZELT", "TBX_ZELT.png", "ico_Stream-Config.png"},
        {GCamera, QColor(0x2e, 0xa0, 0x6b), "TBX-CAMC", "TBX_CAMC.png", "ico_User-Management.png"},
        {GClip, QColor(0xd9, 0x6a, 0x2b), "TBX-CLIP", "TBX_CLIP.png", "monitoring.png"},
        {GFirmware, QColor(0x5b, 0x6b, 0x7d), "TBX-FWUP", "TBX_FWUP.png", "ico_NVR-Management.png"},
        {GStorage, QColor(0x1f, 0x8f, 0x9a), "TBX-STOR", "STOR.png", "STOR.png"},
        {GLink, QColor(0x3b, 0x6f, 0xc9), "TBX-LINK", "LINK.png", "LINK.png"},
        {GFocus, QColor(0xc8, 0x3e, 0x4d), "TBX-FOCA", "TBX_FOCA.png", "ico_TBX_FOCA.png"},
        {GOptics, QColor(0x6a, 0x4c, 0x9c), "TBX-OPTK", "TBX_OPTK.png", "ico_TBX_OPTK.png"},
        {GBulk, QColor(0xb0, 0x8a, 0x1e), "TBX-BULK", "Bulk.png", "Bulk.png"},
        {GTask, QColor(0x2f, 0x8f, 0x4e), "TBX-TASK", "calculate32.png", "calculate32.png"},
    };
    for (const Tool &t : tools) {
        make(80, 70, QStringLiteral("ControlPanel/%1.png").arg(QLatin1String(t.panel)),
             [&](QPainter &p, const QRectF &r) { tile(p, r, t.glyph, t.colour, false); });
        if (t.glyph != GPanel)
            make(80, 70, QStringLiteral("ControlPanel/%1_hover.png").arg(QLatin1String(t.panel)),
                 [&](QPainter &p, const QRectF &r) { tile(p, r, t.glyph, t.colour, true); });
        make(20, 20, QStringLiteral("Tab/%1").arg(QLatin1String(t.tab)),
             [&](QPainter &p, const QRectF &r) { tile(p, r, t.glyph, t.colour, false); });
        make(16, 16, QStringLiteral("MenuBar/%1").arg(QLatin1String(t.menu)),
             [&](QPainter &p, const QRectF &r) { tile(p, r, t.glyph, t.colour, false); });
    }
    make(16, 16, "About.png", [](QPainter &p, const QRectF &r) { tile(p, r, GAbout, kAccent, false); });
    make(16, 16, "Help.png", [](QPainter &p, const QRectF &r) { tile(p, r, GHelp, QColor(0x2e, 0xa0, 0x6b), false); });
    make(24, 24, "excel.png",
         [](QPainter &p, const QRectF &r) { tile(p, r, GExcel, QColor(0x21, 0x7a, 0x46), false); });

    // Selection ground of the control-panel lists (grid 150 x 116).
    make(150, 116, "ControlPanel/ListView-hover.png", [](QPainter &p, const QRectF &r) {
        p.setPen(QPen(QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 200), 1));
        p.setBrush(vGrad(0, r.height(), QColor(0xd6, 0xe8, 0xfa, 220), QColor(0xb4, 0xd4, 0xf4, 220)));
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    });
}

// ------------------------------------------------------ page furniture

void miscImages()
{
    make(10, 100, "MainView/frame_gap.png", [](QPainter &p, const QRectF &r) {
        QLinearGradient g(0, 0, r.width(), 0);
        g.setColorAt(0, kBodyDark);
        g.setColorAt(0.5, kBody);
        g.setColorAt(1, kBodyDark);
        p.fillRect(r, g);
    });
    for (int show = 0; show < 2; ++show) {
        make(10, 40, show ? "AjustFocus/SepShow.png" : "AjustFocus/SepHide.png", [=](QPainter &p, const QRectF &) {
            p.setPen(pen(kGlyph, 2));
            const qreal a = show ? 3 : 7, b = show ? 7 : 3;
            p.drawPolyline(QPolygonF() << QPointF(a, 14) << QPointF(b, 20) << QPointF(a, 26));
        });
    }

    // Loading pictures: English and Chinese, neutral and with the maker's
    // corner mark.
    struct Splash {
        const char *file;
        bool chinese;
        bool maker;
    };
    const Splash splashes[] = {
        {"Loading_bg_English.png", false, false},
        {"Loading_bg_Chinese.png", true, false},
        {"Loading_bg_English_Kestro.png", false, true},
        {"Loading_bg_Chinese_Kestro.png", true, true},
    };
    for (const Splash &s : splashes) {
        make(480, 300, s.file, [&](QPainter &p, const QRectF &r) {
            p.fillRect(r, vGrad(0, r.height(), kTitleTop, kTitleBottom));
            p.setPen(Qt::NoPen);
            QRadialGradient glow(QPointF(240, 120), 220);
            glow.setColorAt(0, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 90));
            glow.setColorAt(1, QColor(0, 0, 0, 0));
            p.setBrush(glow);
            p.drawRect(r);
            tile(p, QRectF(200, 50, 80, 80), GSearch, kAccent, false);
            p.setPen(kWhite);
            p.setFont(font(34));
            p.drawText(QRectF(0, 140, 480, 50), Qt::AlignCenter, QStringLiteral("Toolbay"));
            p.setPen(QColor(0xc9, 0xd6, 0xe4));
            if (s.chinese) {
                p.setFont(font(16, false, QStringLiteral("WenQuanYi Micro Hei")));
                p.drawText(QRectF(0, 195, 480, 30), Qt::AlignCenter,
                           QString::fromUtf8("\xe6\xad\xa3\xe5\x9c\xa8\xe5\x8a\xa0\xe8\xbd\xbd\xe2\x80\xa6"));
            } else {
                p.setFont(font(16, false));
                p.drawText(QRectF(0, 195, 480, 30), Qt::AlignCenter, QStringLiteral("Loading\u2026"));
            }
            p.fillRect(QRectF(140, 240, 200, 3), QColor(255, 255, 255, 40));
            p.fillRect(QRectF(140, 240, 80, 3), kAccentLight);
            if (s.maker) {
                // The maker's mark: a small lens emblem in the lower right.
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(255, 255, 255, 200));
                p.drawEllipse(QPointF(450, 272), 12, 12);
                p.setBrush(kAccentDark);
                p.drawEllipse(QPointF(450, 272), 6, 6);
            }
        });
    }
}

// The program's icon for desktop menus: the control-panel tile, square, in
// the sizes icon themes look for.
void appIconImages()
{
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        // The desktop picks among the sizes itself.
        make(
            size, size, QStringLiteral("toolbay_%1.png").arg(size),
            [](QPainter &p, const QRectF &r) { tile(p, r, GPanel, QColor(0x4a, 0x62, 0x7c), false); }, false);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool appIcons = argc == 3 && qstrcmp(argv[1], "--app-icons") == 0;
    if (argc != 2 && !appIcons) {
        std::fprintf(stderr, "usage: %s <output folder>\n       %s --app-icons <output folder>\n", argv[0], argv[0]);
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[argc - 1]);
    if (appIcons) {
        appIconImages();
        std::printf("%d icons written to %s\n", g_count, argv[2]);
        return 0;
    }
    titleImages();
    dialogImages();
    tabImages();
    buttonImages();
    publicImages();
    toolImages();
    miscImages();
    std::printf("%d images written to %s\n", g_count, argv[1]);
    return 0;
}

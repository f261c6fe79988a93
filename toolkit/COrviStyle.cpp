#include "COrviStyle.h"

#include <QFrame>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QStyleFactory>
#include <QStyleOption>

COrviStyle::COrviStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows")))
{
    setObjectName(QStringLiteral("COrviStyle"));
}

#ifndef TOOLKIT_PLUGIN_EDITION
void COrviStyle::drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &pal, bool enabled,
                              const QString &text, QPalette::ColorRole textRole) const
{
    // Single-line texts that do not fit are elided at the right instead of
    // being cut off in the middle of a glyph.
    QString shown = text;
    if (!(flags & Qt::TextWordWrap) && !text.contains(QLatin1Char('\n')) && painter) {
        const QFontMetrics fm(painter->font());
        // A mnemonic '&' takes no room on screen: measure what is drawn.
        const int mnemonic = flags & (Qt::TextShowMnemonic | Qt::TextHideMnemonic);
        const int width = mnemonic ? fm.size(Qt::TextShowMnemonic, text).width() : fm.horizontalAdvance(text);
        if (width > rect.width())
            shown = fm.elidedText(text, Qt::ElideRight, rect.width(), mnemonic ? Qt::TextShowMnemonic : 0);
    }
    QProxyStyle::drawItemText(painter, rect, flags, pal, enabled, shown, textRole);
}
#endif

void COrviStyle::drawPrimitive(PrimitiveElement pe, const QStyleOption *opt, QPainter *p, const QWidget *w) const
{
    switch (pe) {
    case PE_FrameFocusRect:
    case PE_FrameTabBarBase:
    case PE_IndicatorTabTear:
    case PE_PanelItemViewRow: return;
    case PE_PanelItemViewItem:
        if (opt && (opt->state & State_Selected)) {
            p->drawPixmap(opt->rect, QPixmap(QStringLiteral(":images/ControlPanel/ListView-hover.png")));
            return;
        }
        break;
    case PE_IndicatorTabClose: {
        if (!opt)
            return;
        QString file;
        if (opt->state & State_MouseOver)
            file = QStringLiteral(":images/Tab/TabCloseHover.png");
        else if (opt->state & State_Selected)
            file = QStringLiteral(":images/Tab/TabClose.png");
        if (file.isEmpty())
            return;
        const QIcon icon(QPixmap(file).scaled(20, 20, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        const QIcon::Mode mode = !(opt->state & State_Enabled) ? QIcon::Disabled
                                 : (opt->state & State_Active) ? QIcon::Active
                                                               : QIcon::Normal;
        const QIcon::State state = (opt->state & State_Selected) ? QIcon::On : QIcon::Off;
        const QPixmap pm = icon.pixmap(QSize(20, 20), mode, state);
        QRect target(QPoint(0, 0), QSize(20, 20));
        target.moveCenter(opt->rect.center());
        p->drawPixmap(target, pm);
        return;
    }
    default: break;
    }
    QProxyStyle::drawPrimitive(pe, opt, p, w);
}

void COrviStyle::drawControl(ControlElement ce, const QStyleOption *opt, QPainter *p, const QWidget *w) const
{
    switch (ce) {
    case CE_TabBarTabShape:
        if (const auto *tab = qstyleoption_cast<const QStyleOptionTab *>(opt)) {
            const bool selected = tab->state & State_Selected;
            const QPixmap pm(selected ? QStringLiteral(":/images/Tab/TabSelect.png")
                                      : QStringLiteral(":/images/Tab/TabUnselect.png"));
            p->save();
            p->setPen(Qt::NoPen);
            p->setBrush(QBrush(pm));
            p->drawRect(tab->rect.adjusted(2, 0, -1, 0));
            p->restore();
            return;
        }
        break;
    case CE_ProgressBarGroove:
        if (const auto *bar = qstyleoption_cast<const QStyleOptionProgressBar *>(opt)) {
            const QPixmap left(QStringLiteral(":images/public/ProgressBar/ProgressBarLeft.png"));
            const QPixmap mid(QStringLiteral(":images/public/ProgressBar/ProgressBar.png"));
            const QPixmap right(QStringLiteral(":images/public/ProgressBar/ProgressBarRight.png"));
            const QRect r = bar->rect;
            const int y = r.top() + (r.height() - mid.height()) / 2;
            p->drawPixmap(r.left(), y, left);
            const int midWidth = r.width() - left.width() - right.width();
            if (midWidth > 0)
                p->drawPixmap(QRect(r.left() + left.width(), y, midWidth, mid.height()), mid);
            p->drawPixmap(r.right() + 1 - right.width(), y, right);

            const qint64 min = bar->minimum, max = bar->maximum, val = bar->progress;
            if (min <= max && val - min > 0) {
                const QPixmap lchunk(QStringLiteral(":images/public/ProgressBar/ProgressBarLeftChunk.png"));
                const QPixmap chunk(QStringLiteral(":images/public/ProgressBar/ProgressBarChunk.png"));
                const QPixmap rchunk(QStringLiteral(":images/public/ProgressBar/ProgressBarRightChunk.png"));
                p->drawPixmap(r.left(), y, lchunk);
                const int span = r.width() - lchunk.width() - right.width();
                // A range of zero (busy bar) fills the whole groove.
                const qint64 range = max - min;
                int fill = range > 0 ? int(qint64(span) * qMin(val - min, range) / range) : span;
                if (fill > 0)
                    p->drawPixmap(QRect(r.left() + lchunk.width(), y, fill, chunk.height()), chunk);
                if (val >= max)
                    p->drawPixmap(r.right() + 1 - rchunk.width(), y, rchunk);
            }
            return;
        }
        break;
    case CE_ProgressBarContents: return;
    case CE_ShapedFrame:
        if (const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(opt)) {
            if (frame->frameShape == QFrame::StyledPanel) {
                QStyleOptionFrame copy(*frame);
                copy.frameShape = QFrame::NoFrame;
                copy.lineWidth = 0;
                QProxyStyle::drawControl(ce, &copy, p, w);
                return;
            }
        }
        break;
    default: break;
    }
    QProxyStyle::drawControl(ce, opt, p, w);
}

QRect COrviStyle::subElementRect(SubElement se, const QStyleOption *opt, const QWidget *w) const
{
    return QProxyStyle::subElementRect(se, opt, w);
}

void COrviStyle::drawComplexControl(ComplexControl cc, const QStyleOptionComplex *opt, QPainter *p,
                                    const QWidget *w) const
{
    if (cc == CC_Slider) {
        if (const auto *slider = qstyleoption_cast<const QStyleOptionSlider *>(opt)) {
            const QRect groove = subControlRect(CC_Slider, slider, SC_SliderGroove, w);
            const QRect handle = subControlRect(CC_Slider, slider, SC_SliderHandle, w);
            const bool horizontal = slider->orientation == Qt::Horizontal;
            if (slider->subControls & SC_SliderGroove) {
                const QPixmap leftPm(QStringLiteral(":/images/public/Slider/LeftSlider.png"));
                const QPixmap rightPm(QStringLiteral(":/images/public/Slider/RightSlider.png"));
                QRect before, after;
                if (horizontal) {
                    const int h = leftPm.height();
                    before = QRect(groove.left() + 3, groove.top(), handle.center().x() - groove.left() - 3, h);
                    after = QRect(handle.center().x(), groove.top(), groove.right() - 3 - handle.center().x(), h);
                } else {
                    const int wd = leftPm.height();
                    before = QRect(groove.left(), handle.center().y(), wd, groove.bottom() - 3 - handle.center().y());
                    after = QRect(groove.left(), groove.top() + 3, wd, handle.center().y() - groove.top() - 3);
                }
                if (before.isValid())
                    p->drawPixmap(before, leftPm);
                if (after.isValid())
                    p->drawPixmap(after, rightPm);
            }
            if (slider->subControls & SC_SliderTickmarks && slider->tickPosition != QSlider::NoTicks) {
                p->save();
                p->setPen(slider->palette.color(QPalette::WindowText));
                const int interval = slider->tickInterval > 0 ? slider->tickInterval
                                                              : qMax(1, slider->pageStep > 0 ? slider->pageStep : 1);
                const int len = pixelMetric(PM_SliderLength, slider, w);
                const int available = (horizontal ? slider->rect.width() : slider->rect.height()) - len;
                for (int v = slider->minimum; v <= slider->maximum && available > 0; v += interval) {
                    const int pos = sliderPositionFromValue(slider->minimum, slider->maximum, v, available,
                                                            slider->upsideDown)
                                    + len / 2;
                    if (horizontal) {
                        if (slider->tickPosition & QSlider::TicksAbove)
                            p->drawLine(pos, slider->rect.top(), pos, slider->rect.top() + 3);
                        if (slider->tickPosition & QSlider::TicksBelow)
                            p->drawLine(pos, slider->rect.bottom() - 3, pos, slider->rect.bottom());
                    } else {
                        if (slider->tickPosition & QSlider::TicksAbove)
                            p->drawLine(slider->rect.left(), pos, slider->rect.left() + 3, pos);
                        if (slider->tickPosition & QSlider::TicksBelow)
                            p->drawLine(slider->rect.right() - 3, pos, slider->rect.right(), pos);
                    }
                    if (v > slider->maximum - interval)
                        break;
                }
                p->restore();
            }
            if (slider->subControls & SC_SliderHandle)
                p->drawPixmap(handle.topLeft(), QPixmap(QStringLiteral(":/images/public/Slider/RadiobtnOff.png")));
            return;
        }
    }
    QProxyStyle::drawComplexControl(cc, opt, p, w);
}

QRect COrviStyle::subControlRect(ComplexControl cc, const QStyleOptionComplex *opt, SubControl sc,
                                 const QWidget *w) const
{
    QRect r = QProxyStyle::subControlRect(cc, opt, sc, w);
    if (cc == CC_Slider) {
        if (const auto *slider = qstyleoption_cast<const QStyleOptionSlider *>(opt)) {
            if (slider->orientation == Qt::Horizontal) {
                const int half = slider->rect.height() / 2;
                if (sc == SC_SliderHandle)
                    r.moveTop(slider->rect.top() + half - 4);
                else if (sc == SC_SliderGroove)
                    r.moveTop(slider->rect.top() + half - 2);
            }
        }
    }
    return r;
}

int COrviStyle::pixelMetric(PixelMetric pm, const QStyleOption *opt, const QWidget *w) const
{
    switch (pm) {
    case PM_MenuButtonIndicator: return 0;
    case PM_SliderLength: return 13;
    case PM_TabCloseIndicatorWidth:
    case PM_TabCloseIndicatorHeight: return 20;
    default: return QProxyStyle::pixelMetric(pm, opt, w);
    }
}

QSize COrviStyle::sizeFromContents(ContentsType ct, const QStyleOption *opt, const QSize &size, const QWidget *w) const
{
    return QProxyStyle::sizeFromContents(ct, opt, size, w);
}

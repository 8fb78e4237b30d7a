// Draws the window's compiled-in images into the directory given as the only
// argument (scripts/draw-images runs it into Tessarine/Resource). Plain shapes
// with QPainter, so the PNGs can be made again on any machine with Qt.
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

// Push-button icons sit on the buttons' grey, so they are white.
const QColor kOnButton(255, 255, 255);
const QColor kDark(61, 61, 61);
const QColor kGrey(112, 112, 112);
const QColor kTeal(56, 148, 124);
const QColor kRed(221, 64, 64);

using Painting = std::function<void(QPainter&, qreal w, qreal h)>;

bool draw(const QDir& dir, const QString& name, int width, int height, const Painting& painting)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painting(painter, width, height);
    }
    const QString path = dir.filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QPen roundPen(const QColor& color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void checkMark(QPainter& p, const QRectF& box, const QColor& color, qreal width)
{
    QPainterPath tick;
    tick.moveTo(box.left() + box.width() * 0.22, box.top() + box.height() * 0.52);
    tick.lineTo(box.left() + box.width() * 0.43, box.top() + box.height() * 0.72);
    tick.lineTo(box.left() + box.width() * 0.78, box.top() + box.height() * 0.30);
    p.setPen(roundPen(color, width));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
}

// A filled arrow head whose tip is at `tip`, pointing along `angle` (degrees, 0 = right, y down).
void arrowHead(QPainter& p, QPointF tip, qreal angle, qreal length, const QColor& color)
{
    const qreal rad = qDegreesToRadians(angle);
    const QPointF back(tip.x() - length * std::cos(rad), tip.y() - length * std::sin(rad));
    const QPointF side(-std::sin(rad) * length * 0.6, std::cos(rad) * length * 0.6);
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(back + side);
    head.lineTo(back - side);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(head);
}

void magnifier(QPainter& p, qreal w, qreal h, const QColor& color)
{
    const qreal stroke = w / 8;
    p.setPen(roundPen(color, stroke));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(w * 0.12, h * 0.12, w * 0.52, h * 0.52));
    p.drawLine(QPointF(w * 0.58, h * 0.58), QPointF(w * 0.86, h * 0.86));
}

bool drawAll(const QDir& dir)
{
    bool ok = true;

    // The window's backdrop: a calm grey-blue wash, lightest at the left edge and
    // darkest in the middle. One row, which the style sheet repeats down the
    // window (a full-size image took a fifth of the launch to decode before the
    // window could show), and across it too once the window is wider than the
    // row: so the wash turns back to its start at the right end, with no edge
    // where the next copy begins.
    ok &= draw(dir, "background.png", 1200, 1, [](QPainter& p, qreal w, qreal h) {
        const QColor light(134, 142, 150), dark(96, 102, 110);
        for (int x = 0; x < w; ++x) {
            const qreal toward_dark = (1 - std::cos(2 * M_PI * x / w)) / 2;
            const auto mix = [toward_dark](int from, int to) {
                return static_cast<int>(std::lround(from + (to - from) * toward_dark));
            };
            p.fillRect(QRectF(x, 0, 1, h),
                QColor(mix(light.red(), dark.red()), mix(light.green(), dark.green()),
                    mix(light.blue(), dark.blue())));
        }
    });

    // A speech bubble: the feedback link.
    ok &= draw(dir, "feedback.png", 18, 18, [](QPainter& p, qreal w, qreal h) {
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(1, 1.5, w - 2, h * 0.66), 3.5, 3.5);
        QPainterPath tail;
        tail.moveTo(w * 0.28, h * 0.62);
        tail.lineTo(w * 0.24, h - 1.5);
        tail.lineTo(w * 0.52, h * 0.62);
        tail.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(kTeal);
        p.drawPath(bubble.united(tail));
        p.setBrush(Qt::white);
        for (int i = 0; i < 3; ++i)
            p.drawEllipse(QPointF(w * (0.3 + 0.2 * i), h * 0.36), 1.3, 1.3);
    });

    // An upward arrow over a base line: hand the change in.
    ok &= draw(dir, "submitter_button.png", 20, 24, [](QPainter& p, qreal w, qreal h) {
        p.setPen(roundPen(kOnButton, 3));
        p.drawLine(QPointF(w / 2, h * 0.72), QPointF(w / 2, h * 0.3));
        arrowHead(p, QPointF(w / 2, h * 0.06), -90, h * 0.32, kOnButton);
        p.setPen(roundPen(kOnButton, 3));
        p.drawLine(QPointF(w * 0.12, h * 0.92), QPointF(w * 0.88, h * 0.92));
    });

    // A circular arrow, its head at the right going up.
    ok &= draw(dir, "refresh.png", 32, 32, [](QPainter& p, qreal w, qreal h) {
        const QRectF ring(w * 0.2, h * 0.2, w * 0.6, h * 0.6);
        p.setPen(roundPen(kOnButton, w / 9));
        p.setBrush(Qt::NoBrush);
        p.drawArc(ring, 90 * 16, 270 * 16);
        arrowHead(p, QPointF(ring.right(), ring.center().y() - h * 0.3), -90, h * 0.32, kOnButton);
    });

    // A box with an arrow leaving it at the top right.
    ok &= draw(dir, "openlink.png", 24, 24, [](QPainter& p, qreal w, qreal h) {
        p.setPen(roundPen(kOnButton, 2.4));
        p.setBrush(Qt::NoBrush);
        QPainterPath box;
        box.moveTo(w * 0.45, h * 0.2);
        box.lineTo(w * 0.16, h * 0.2);
        box.lineTo(w * 0.16, h * 0.84);
        box.lineTo(w * 0.8, h * 0.84);
        box.lineTo(w * 0.8, h * 0.55);
        p.drawPath(box);
        p.drawLine(QPointF(w * 0.42, h * 0.58), QPointF(w * 0.8, h * 0.2));
        arrowHead(p, QPointF(w * 0.92, h * 0.08), -45, w * 0.32, kOnButton);
    });

    // A plus.
    ok &= draw(dir, "add.png", 20, 20, [](QPainter& p, qreal w, qreal h) {
        p.setPen(roundPen(kOnButton, 3.2));
        p.drawLine(QPointF(w / 2, h * 0.12), QPointF(w / 2, h * 0.88));
        p.drawLine(QPointF(w * 0.12, h / 2), QPointF(w * 0.88, h / 2));
    });

    // The tag check box's checked indicator (12 x 12 in the style sheet).
    ok &= draw(dir, "checked2.png", 12, 12, [](QPainter& p, qreal w, qreal h) {
        p.setPen(Qt::NoPen);
        p.setBrush(kDark);
        p.drawRoundedRect(QRectF(0, 0, w, h), 3, 3);
        checkMark(p, QRectF(0, 0, w, h), Qt::white, 1.6);
    });

    // Drop-down arrows of combo boxes.
    const auto chevron = [](bool down) {
        return [down](QPainter& p, qreal w, qreal h) {
            QPainterPath path;
            const qreal top = down ? h * 0.2 : h * 0.8;
            const qreal bottom = down ? h * 0.8 : h * 0.2;
            path.moveTo(w * 0.12, top);
            path.lineTo(w / 2, bottom);
            path.lineTo(w * 0.88, top);
            p.setPen(roundPen(kGrey, 1.8));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
        };
    };
    ok &= draw(dir, "down_arror.png", 12, 8, chevron(true));
    ok &= draw(dir, "up_arror.png", 12, 8, chevron(false));

    // "查看" of a checker group: lines of a list.
    ok &= draw(dir, "detail.png", 24, 24, [](QPainter& p, qreal w, qreal h) {
        p.setPen(roundPen(kDark, 2.6));
        for (int i = 0; i < 3; ++i) {
            const qreal y = h * (0.24 + 0.26 * i);
            p.drawPoint(QPointF(w * 0.14, y));
            p.drawLine(QPointF(w * 0.34, y), QPointF(w * 0.88, y));
        }
    });

    // "返回": an arrow to the left.
    ok &= draw(dir, "back.png", 20, 20, [](QPainter& p, qreal w, qreal h) {
        p.setPen(roundPen(kDark, 2.6));
        p.drawLine(QPointF(w * 0.4, h / 2), QPointF(w * 0.9, h / 2));
        arrowHead(p, QPointF(w * 0.06, h / 2), 180, w * 0.45, kDark);
    });

    // Kept in the resource file, drawn for completeness.
    ok &= draw(dir, "checked.png", 16, 16, [](QPainter& p, qreal w, qreal h) {
        p.setPen(Qt::NoPen);
        p.setBrush(kTeal);
        p.drawEllipse(QRectF(0.5, 0.5, w - 1, h - 1));
        checkMark(p, QRectF(0, 0, w, h), Qt::white, 2);
    });
    ok &= draw(dir, "failed.png", 16, 16, [](QPainter& p, qreal w, qreal h) {
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawEllipse(QRectF(0.5, 0.5, w - 1, h - 1));
        p.setPen(roundPen(Qt::white, 2));
        p.drawLine(QPointF(w * 0.32, h * 0.32), QPointF(w * 0.68, h * 0.68));
        p.drawLine(QPointF(w * 0.68, h * 0.32), QPointF(w * 0.32, h * 0.68));
    });
    ok &= draw(dir, "rotation.png", 32, 32, [](QPainter& p, qreal w, qreal h) {
        // A busy spinner: twelve spokes fading round.
        p.translate(w / 2, h / 2);
        for (int i = 0; i < 12; ++i) {
            QColor spoke = kGrey;
            spoke.setAlpha(40 + i * 18);
            p.setPen(roundPen(spoke, 2.6));
            p.drawLine(QPointF(0, -h * 0.22), QPointF(0, -h * 0.4));
            p.rotate(30);
        }
    });
    ok &= draw(dir, "tz.png", 24, 24, [](QPainter& p, qreal w, qreal h) {
        // A notification bell.
        QPainterPath bell;
        bell.moveTo(w * 0.2, h * 0.74);
        bell.cubicTo(w * 0.26, h * 0.6, w * 0.22, h * 0.2, w * 0.5, h * 0.18);
        bell.cubicTo(w * 0.78, h * 0.2, w * 0.74, h * 0.6, w * 0.8, h * 0.74);
        bell.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(kGrey);
        p.drawPath(bell);
        p.drawEllipse(QPointF(w * 0.5, h * 0.82), w * 0.09, w * 0.09);
        p.drawEllipse(QPointF(w * 0.5, h * 0.15), w * 0.06, w * 0.06);
    });
    ok &= draw(dir, "search.png", 16, 16, [](QPainter& p, qreal w, qreal h) { magnifier(p, w, h, kGrey); });
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists()) {
        std::fprintf(stderr, "no such directory: %s\n", argv[1]);
        return 2;
    }
    return drawAll(dir) ? 0 : 1;
}

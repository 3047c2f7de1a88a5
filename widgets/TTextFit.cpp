#include "widgets/TTextFit.h"

#include "widgets/TGradientButton.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>

#include <algorithm>
#include <utility>

namespace TTextFit {
namespace {

// Kept free between a widened control and its neighbour or the window's edge.
constexpr int Gap = 4;
// Kept free on either side of the text on a gradient button's face.
constexpr int FaceMargin = 2;

QString TextOf(const QWidget* w)
{
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return label->wordWrap() || label->textFormat() == Qt::RichText ? QString() : label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    if (const auto* box = qobject_cast<const QGroupBox*>(w))
        return box->title();
    return {};
}

void SetText(QWidget* w, const QString& text)
{
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(w))
        box->setTitle(text);
}

// The width the text has inside w, as the style lays it out.
int Room(const QWidget* w)
{
    QStyleOptionButton option;
    option.initFrom(w);
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return label->contentsRect().width() - 2 * label->margin();
    if (const auto* check = qobject_cast<const QCheckBox*>(w))
        return w->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, check).width();
    // The program's own buttons draw their text across the whole face.
    if (qobject_cast<const TGradientButton*>(w))
        return w->width() - 2 * FaceMargin;
    if (const auto* push = qobject_cast<const QPushButton*>(w))
        return w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push).width();
    if (qobject_cast<const QGroupBox*>(w))
        return w->width() - 2 * Gap;
    return w->contentsRect().width();
}

bool Centred(const QWidget* w)
{
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return label->alignment() & Qt::AlignHCenter;
    return qobject_cast<const QPushButton*>(w); // a push button centres its text
}

// The rows of w (in its parent) that its line of text takes, as its alignment places it.
std::pair<int, int> TextRows(const QWidget* w)
{
    const QRect box = w->geometry();
    const int line = std::min(box.height(), w->fontMetrics().height());
    Qt::Alignment align = Qt::AlignVCenter;
    if (const auto* label = qobject_cast<const QLabel*>(w))
        align = label->alignment();
    else if (qobject_cast<const QGroupBox*>(w))
        align = Qt::AlignTop; // the title, over the frame
    const int top = align & Qt::AlignTop      ? box.top()
                    : align & Qt::AlignBottom ? box.bottom() + 1 - line
                                              : box.top() + (box.height() - line) / 2;
    return {top, top + line - 1};
}

// How far w may grow to the left and to the right without its text running into a shown
// neighbour (one beside its line of text) or leaving its parent; negative where a neighbour
// lies over it already (a label sized to its text reaching under the field beside it). A
// neighbour that holds all of w is its backdrop, not a neighbour.
std::pair<int, int> FreeRoom(const QWidget* w)
{
    const QWidget* parent = w->parentWidget();
    const QRect box = w->geometry();
    const auto [top, bottom] = TextRows(w);
    int left = box.left() - Gap, right = parent->width() - 1 - box.right() - Gap;
    for (const QObject* o : parent->children()) {
        const auto* other = qobject_cast<const QWidget*>(o);
        if (!other || other == w || other->isWindow() || !other->isVisibleTo(parent))
            continue;
        const QRect g = other->geometry();
        if (g.bottom() < top || g.top() > bottom || g.contains(box))
            continue;
        if (g.left() > box.left())
            right = std::min(right, g.left() - box.right() - 1 - Gap);
        else if (g.right() < box.right())
            left = std::min(left, box.left() - g.right() - 1 - Gap);
    }
    return {left, right};
}

} // namespace

int Lacking(const QWidget* w)
{
    const QString text = TextOf(w);
    if (text.isEmpty() || text.contains(QLatin1Char('\n')))
        return 0;
    return std::max(0, w->fontMetrics().horizontalAdvance(text) - Room(w));
}

void Fit(QWidget* window)
{
    for (QWidget* w : window->findChildren<QWidget*>()) {
        QWidget* parent = w->parentWidget();
        // A layout places its widgets by their size hints: they grow by themselves.
        if (w->isWindow() || !parent || parent->layout() || !w->isVisibleTo(window))
            continue;
        const QString whole = TextOf(w);
        if (whole.isEmpty() || whole.contains(QLatin1Char('\n')))
            continue;
        const auto [left, right] = FreeRoom(w);
        // What a neighbour covers of it already, and what its text needs.
        const int coveredLeft = std::max(0, -(left + Gap));
        const int coveredRight = std::max(0, -(right + Gap));
        const int needed = w->fontMetrics().horizontalAdvance(whole) + (w->width() - Room(w));
        if (needed <= w->width() - coveredLeft - coveredRight)
            continue;
        QRect g = w->geometry().adjusted(coveredLeft, 0, -coveredRight, 0);
        const int wanted = needed - g.width();
        const int growLeft = std::max(0, left), growRight = std::max(0, right);
        if (Centred(w)) {
            const int l = std::min(growLeft, (wanted + 1) / 2);
            g.adjust(-l, 0, std::min(growRight, wanted - l), 0);
        } else {
            g.adjust(0, 0, std::min(growRight, wanted), 0);
        }
        w->setGeometry(g);
        if (Lacking(w) == 0)
            continue;
        // No more room: the text is shortened where it shows and said whole elsewhere.
        SetText(w, w->fontMetrics().elidedText(whole, Qt::ElideRight, Room(w)));
        w->setToolTip(w->toolTip().isEmpty() ? whole : whole + QLatin1Char('\n') + w->toolTip());
        if (w->accessibleName().isEmpty())
            w->setAccessibleName(whole);
    }
}

} // namespace TTextFit

#pragma once

// Rows of a QListWidget whose widgets exist only near the view. Each item
// carries its final size hint from the start, so the list's layout, scroll
// range and item heights are those of the finished rows; a row's widget is
// built when the row comes into view and released again once it is a few
// screens away. A list lays out every row and moves, shows and paints every
// item widget it holds on each change, so thousands of item widgets make
// filling and scrolling the list slow in the number of rows; this way it
// holds only the widgets of the rows around the view.
#include <QListWidgetItem>
#include <QObject>
#include <QPersistentModelIndex>
#include <QRect>
#include <QSize>

#include <functional>
#include <vector>

class QListWidget;
class QWidget;

namespace velmora {

class DeferredRowItem : public QListWidgetItem {
public:
    // Makes the row's widget, without parent, for a row of the given width,
    // each time the row comes back into view; what it captures lives as long
    // as the item.
    using Builder = std::function<QWidget*(int row_width)>;
    // The height of a row whose content wraps, for a row of the given width.
    using HeightForWidth = std::function<int(int row_width)>;

    // A row of this size whatever the list's width.
    DeferredRowItem(QSize size_hint, Builder builder);
    // A row as high as its content needs at the list's width; it has its size
    // once DeferredRowBuilder::showNewRows has fitted it.
    DeferredRowItem(HeightForWidth height_for_width, Builder builder);

    // Gives a wrapping row its height for this row width; returns the row's height.
    int fitWidth(int row_width);
    QWidget* build() const { return builder_(row_width_); }

private:
    Builder builder_;
    HeightForWidth height_for_width_;
    int row_width_ = 0;
};

// Places the widgets of the deferred rows in a list's viewport and releases
// those far out of it: when the rows change, and whenever scrolling or
// resizing moves the view. Wrapping rows are fitted to the width a row of the
// list has, the list's own scroll bar included, again whenever the list
// changes size. A row that goes away while it holds the keyboard focus hands
// it to the list. One per list, a child of it; other items are left alone.
class DeferredRowBuilder : public QObject {
    Q_OBJECT
public:
    // Screens above and below the view whose built rows are kept.
    static constexpr int kKeptScreens = 2;

    explicit DeferredRowBuilder(QListWidget* list);

    // After the list was filled anew: shows it from its first row, fits the
    // wrapping rows and builds those in view; a list holding the keyboard gets
    // its first row as the current one.
    void showNewRows();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fits the wrapping rows and builds those in view, at the top or where the
    // list is scrolled to.
    void showRows(bool from_top);
    // Heights of the wrapping rows for the list's present size: the width of
    // a row narrows by the scroll bar once the rows overflow the list.
    void fitRows();
    void buildVisibleRows();
    // Builds the rows in view and lets go of those far from it.
    void placeRowsInView();
    // The first row whose bottom edge is at or below the given height.
    int firstRowReaching(int y) const;
    // Lets go of the built rows whose place in the viewport is not kept.
    void releaseRows(const std::function<bool(const QRect&)>& kept);
    // A built row being hidden to go away: if it holds the keyboard focus,
    // the list takes it.
    void keepKeysInList(QWidget* row);
    // Whether the widget or one inside it has the keyboard focus of the
    // window, active or not.
    static bool holdsKeys(const QWidget* widget);

    QListWidget* list_;
    QWidget* viewport_;
    // Rows this builder gave a widget; cleared rows turn invalid by themselves.
    std::vector<QPersistentModelIndex> built_;
    // The list's inside (scroll bar area included) that the rows were fitted to.
    QSize fitted_to_;
    bool busy_ = false;
};

} // namespace velmora

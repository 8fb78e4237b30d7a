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
#include <QSize>

#include <functional>
#include <vector>

class QListWidget;
class QWidget;

namespace velmora {

class DeferredRowItem : public QListWidgetItem {
public:
    // Makes the row's widget, without parent, each time the row comes back
    // into view; what it captures lives as long as the item.
    using Builder = std::function<QWidget*()>;

    DeferredRowItem(QSize size_hint, Builder builder);

    QWidget* build() const { return builder_(); }

private:
    Builder builder_;
};

// Places the widgets of the deferred rows in a list's viewport and releases
// those far out of it: when asked, and whenever scrolling or resizing moves
// the view. One per list, a child of it; other items are left alone.
class DeferredRowBuilder : public QObject {
    Q_OBJECT
public:
    // Screens above and below the view whose built rows are kept.
    static constexpr int kKeptScreens = 2;

    static DeferredRowBuilder& of(QListWidget* list);

    // Brings the rows in view up to date now.
    void buildVisibleRows();
    // The same once control is back in the event loop: for a caller that adds
    // more rows first, which a placed widget would make the list lay out
    // again on each one.
    void buildVisibleRowsSoon();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DeferredRowBuilder(QListWidget* list);

    // The first row whose bottom edge is at or below the given height.
    int firstRowReaching(int y) const;
    void releaseRowsOutside(int top, int bottom);

    QListWidget* list_;
    QWidget* viewport_;
    // Rows this builder gave a widget; cleared rows turn invalid by themselves.
    std::vector<QPersistentModelIndex> built_;
    bool building_ = false;
    bool build_posted_ = false;
};

} // namespace velmora

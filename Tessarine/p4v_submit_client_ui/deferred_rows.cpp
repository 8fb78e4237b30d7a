#include "p4v_submit_client_ui/deferred_rows.h"

#include "p4v_submit_client_ui/handler_guard.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <utility>

namespace velmora {

DeferredRowItem::DeferredRowItem(QSize size_hint, Builder builder)
    : builder_(std::move(builder))
{
    setSizeHint(size_hint);
}

DeferredRowItem::DeferredRowItem(HeightForWidth height_for_width, Builder builder)
    : builder_(std::move(builder))
    , height_for_width_(std::move(height_for_width))
{
}

int DeferredRowItem::fitWidth(int row_width)
{
    row_width_ = row_width;
    if (!height_for_width_)
        return sizeHint().height();
    const QSize size(30, height_for_width_(row_width));
    // An unchanged hint tells the list nothing new.
    if (size != sizeHint())
        setSizeHint(size);
    return size.height();
}

DeferredRowBuilder::DeferredRowBuilder(QListWidget* list)
    : QObject(list)
    , list_(list)
    , viewport_(list->viewport())
{
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this,
        [this] { runGuarded(list_->window(), [this] { buildVisibleRows(); }); });
    list->installEventFilter(this);
    viewport_->installEventFilter(this);
}

bool DeferredRowBuilder::eventFilter(QObject* watched, QEvent* event)
{
    // Only the built rows report a hide: the list and its viewport filter none.
    if (event->type() == QEvent::Hide && watched != viewport_ && watched != list_) {
        keepKeysInList(static_cast<QWidget*>(watched));
        return false;
    }
    // Tested without touching the list: the viewport also reports to here
    // while the list is being destroyed.
    const bool moved = event->type() == QEvent::Resize || event->type() == QEvent::Show;
    if (moved && (watched == viewport_ || watched == list_)) {
        runGuarded(list_->window(), [this] {
            if (list_->contentsRect().size() == fitted_to_)
                buildVisibleRows();
            else
                showRows(false);
        });
    }
    return false;
}

void DeferredRowBuilder::showNewRows()
{
    showRows(true);
    // A refilled list has no current row, and a list's first key would only
    // make its first row current: End would not reach the end.
    if (holdsKeys(list_) && list_->count() > 0 && !list_->currentIndex().isValid())
        list_->selectionModel()->setCurrentIndex(list_->model()->index(0, 0), QItemSelectionModel::NoUpdate);
}

void DeferredRowBuilder::showRows(bool from_top)
{
    // Fitting and placing rows can resize the list's viewport or scroll it,
    // which lands here again.
    if (busy_)
        return;
    const QScopedValueRollback<bool> guard(busy_, true);
    // A cleared list keeps its scroll offset; scrolled while busy, so no row
    // is built for the old offset.
    if (from_top)
        list_->verticalScrollBar()->setValue(0);
    fitRows();
    placeRowsInView();
}

void DeferredRowBuilder::buildVisibleRows()
{
    if (busy_)
        return;
    const QScopedValueRollback<bool> guard(busy_, true);
    placeRowsInView();
}

void DeferredRowBuilder::fitRows()
{
    const QSize inside = list_->contentsRect().size();
    const int bar = list_->verticalScrollBar()->sizeHint().width();
    int width = inside.width();
    int total = 0;
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        auto* deferred = dynamic_cast<DeferredRowItem*>(item);
        total += deferred ? deferred->fitWidth(width) : item->sizeHint().height();
        if (total > inside.height() && width == inside.width() && bar > 0) {
            // The rows overflow: the scroll bar shows and every row is that much narrower.
            width -= bar;
            total = 0;
            row = -1;
        }
    }
    // Widgets built for another width hold boxes of other heights.
    if (inside != fitted_to_)
        releaseRows([](const QRect&) { return false; });
    fitted_to_ = inside;
}

void DeferredRowBuilder::placeRowsInView()
{
    // Asking for a row's place lays the list out first, which settles its
    // scroll bar and with it the width of the rows.
    const int first = firstRowReaching(0);
    const int height = viewport_->height();
    const int top = -kKeptScreens * height, bottom = (kKeptScreens + 1) * height;
    releaseRows([top, bottom](const QRect& row) { return row.bottom() >= top && row.top() <= bottom; });

    // Found before any is placed: each placed widget makes the list lay all
    // rows out again at its next look, and the rows keep their places anyway.
    std::vector<std::pair<QModelIndex, DeferredRowItem*>> due;
    for (int row = first; row < list_->count(); ++row) {
        const QModelIndex index = list_->model()->index(row, 0);
        if (list_->visualRect(index).top() >= height)
            break;
        auto* item = dynamic_cast<DeferredRowItem*>(list_->item(row));
        if (item && !list_->indexWidget(index))
            due.emplace_back(index, item);
    }
    for (const auto& [index, item] : due) {
        QWidget* widget = item->build();
        // At the row's size from the start: a text box laid out narrower
        // first can keep a scroll bar that it no longer needs once it widens.
        widget->resize(list_->visualRect(index).size());
        list_->setIndexWidget(index, widget);
        widget->installEventFilter(this);
        built_.emplace_back(index);
    }
}

void DeferredRowBuilder::releaseRows(const std::function<bool(const QRect&)>& kept)
{
    std::vector<QPersistentModelIndex> still_built, released;
    for (QPersistentModelIndex& index : built_) {
        if (index.isValid())
            (kept(list_->visualRect(index)) ? still_built : released).push_back(std::move(index));
    }
    built_ = std::move(still_built);
    // Hidden at once and deleted later, like the widgets of a cleared list.
    for (const QPersistentModelIndex& index : released) {
        if (QWidget* row = list_->indexWidget(index))
            row->hide();
        list_->setIndexWidget(index, nullptr);
    }
}

void DeferredRowBuilder::keepKeysInList(QWidget* row)
{
    // A row goes away hidden, by the list's release or ours. Qt would hand its
    // focus on along the window's tab order, to the description editor, where
    // keys meant for the list would change the text to be submitted. In an
    // inactive window the list gets the focus once the window is active again.
    if (holdsKeys(row) && row->isHidden() && list_->isVisible())
        list_->setFocus(Qt::OtherFocusReason);
}

bool DeferredRowBuilder::holdsKeys(const QWidget* widget)
{
    // The window's own focus widget, which it keeps while another window is
    // active; the application's is then none.
    const QWidget* focused = widget->window()->focusWidget();
    return focused && (focused == widget || widget->isAncestorOf(focused));
}

int DeferredRowBuilder::firstRowReaching(int y) const
{
    // Rows run top to bottom in the list's order.
    int low = 0;
    int high = list_->count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (list_->visualRect(list_->model()->index(middle, 0)).bottom() < y)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace velmora

#include "p4v_submit_client_ui/deferred_rows.h"

#include <QEvent>
#include <QListWidget>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace velmora {

DeferredRowItem::DeferredRowItem(QSize size_hint, Builder builder)
    : builder_(std::move(builder))
{
    setSizeHint(size_hint);
}

DeferredRowBuilder& DeferredRowBuilder::of(QListWidget* list)
{
    if (auto* found = list->findChild<DeferredRowBuilder*>(QString(), Qt::FindDirectChildrenOnly))
        return *found;
    return *new DeferredRowBuilder(list);
}

DeferredRowBuilder::DeferredRowBuilder(QListWidget* list)
    : QObject(list)
    , list_(list)
    , viewport_(list->viewport())
{
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { buildVisibleRows(); });
    viewport_->installEventFilter(this);
}

bool DeferredRowBuilder::eventFilter(QObject* watched, QEvent* event)
{
    // Tested without touching the list: the viewport also reports to here
    // while the list is being destroyed.
    if ((event->type() == QEvent::Resize || event->type() == QEvent::Show) && watched == viewport_)
        buildVisibleRows();
    return false;
}

void DeferredRowBuilder::buildVisibleRowsSoon()
{
    if (build_posted_)
        return;
    build_posted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            build_posted_ = false;
            buildVisibleRows();
        },
        Qt::QueuedConnection);
}

void DeferredRowBuilder::buildVisibleRows()
{
    // Placing a widget can scroll or resize the list, which lands here again.
    if (building_)
        return;
    const QScopedValueRollback<bool> guard(building_, true);

    const int height = list_->viewport()->height();
    releaseRowsOutside(-kKeptScreens * height, (kKeptScreens + 1) * height);

    // Found before any is placed: each placed widget makes the list lay all
    // rows out again at its next look, and the rows keep their places anyway.
    std::vector<std::pair<QModelIndex, DeferredRowItem*>> due;
    for (int row = firstRowReaching(0); row < list_->count(); ++row) {
        const QModelIndex index = list_->model()->index(row, 0);
        if (list_->visualRect(index).top() >= height)
            break;
        auto* item = dynamic_cast<DeferredRowItem*>(list_->item(row));
        if (item && !list_->indexWidget(index))
            due.emplace_back(index, item);
    }
    for (const auto& [index, item] : due) {
        list_->setIndexWidget(index, item->build());
        built_.emplace_back(index);
    }
}

void DeferredRowBuilder::releaseRowsOutside(int top, int bottom)
{
    const auto released = [this, top, bottom](const QPersistentModelIndex& index) {
        if (!index.isValid())
            return true;
        const QRect rect = list_->visualRect(index);
        if (rect.bottom() >= top && rect.top() <= bottom)
            return false;
        // Deleted later, like the widgets of a cleared list.
        list_->setIndexWidget(index, nullptr);
        return true;
    };
    built_.erase(std::remove_if(built_.begin(), built_.end(), released), built_.end());
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

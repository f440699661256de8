#pragma once

#include <QColor>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QScrollArea>
#include <QSize>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/CollectionView.h"
#include "platform/ui/ViewController.h"

namespace m2::platform::ui {

class CollectionViewWidget;

// One tile of a collection view: a view controller whose view the grid places. The grid
// owns its items; it has them only for the positions in view (and a row beyond), and a tile
// that leaves the view, or every tile at a reload, is kept to be handed out again by
// makeItemWithIdentifier(), so the data source fills it anew.
class CollectionViewItem : public ViewController {
    Q_OBJECT

  public:
    using ViewController::ViewController;

    [[nodiscard]] bool isSelected() const { return selected_; }
    [[nodiscard]] const IndexPath& indexPath() const { return indexPath_; }
    [[nodiscard]] CollectionViewWidget* collectionView() const { return collectionView_; }

  private:
    friend class CollectionViewWidget;
    bool selected_ = false;
    IndexPath indexPath_;
    std::string identifier_;
    QPointer<CollectionViewWidget> collectionView_;
};

// What the grid shows: asked on every reload, on the main thread.
class CollectionViewDataSource {
  public:
    virtual ~CollectionViewDataSource() = default;
    [[nodiscard]] virtual std::size_t numberOfSections(CollectionViewWidget& view) = 0;
    [[nodiscard]] virtual std::size_t numberOfItemsInSection(CollectionViewWidget& view,
                                                             std::size_t section) = 0;
    // A filled tile, made with view.makeItemWithIdentifier(); nullptr leaves the place empty.
    [[nodiscard]] virtual CollectionViewItem* itemForIndexPath(CollectionViewWidget& view,
                                                               const IndexPath& path) = 0;
};

// Told when the user changes the selection (not when code does).
class CollectionViewDelegate {
  public:
    virtual ~CollectionViewDelegate() = default;
    virtual void didSelectItemsAtIndexPaths(CollectionViewWidget&, const IndexPathSet&) {}
    virtual void didDeselectItemsAtIndexPaths(CollectionViewWidget&, const IndexPathSet&) {}
};

// A flow of tiles in a scroll area: each section starts a new block of rows, framed by the
// section insets; tiles have one size, with at least the given spacing between tiles of a
// row and between rows. The view keeps the selection by index path. Main thread only.
class CollectionViewWidget : public QScrollArea {
    Q_OBJECT

  public:
    explicit CollectionViewWidget(QWidget* parent = nullptr);
    ~CollectionViewWidget() override;

    // Neither is owned; both must outlive their use by the view.
    void setDataSource(CollectionViewDataSource* source) { source_ = source; }
    void setDelegate(CollectionViewDelegate* delegate) { delegate_ = delegate; }

    // Tile classes by identifier, as makeItemWithIdentifier() makes them.
    void registerItem(const std::string& identifier,
                      std::function<std::unique_ptr<CollectionViewItem>()> make);
    // A tile of the registered class for the position, one that left the view if there is
    // one, else a new one; nullptr for an unknown identifier.
    CollectionViewItem* makeItemWithIdentifier(const std::string& identifier,
                                               const IndexPath& path);

    // Layout, as the flow layout takes it (points).
    void setItemSize(QSize size);
    void setSectionInset(QMargins inset);  // left, top, right, bottom
    void setMinimumInteritemSpacing(int spacing);
    void setMinimumLineSpacing(int spacing);
    void setBackgroundColor(const QColor& color);
    [[nodiscard]] QSize itemSize() const { return itemSize_; }
    [[nodiscard]] QMargins sectionInset() const { return inset_; }

    // Reads sections and items again; selected positions that no longer exist are dropped.
    // Old tiles are hidden and kept for reuse, never deleted: a tile's own action may reload.
    void reloadData();
    [[nodiscard]] std::size_t numberOfSections() const { return counts_.size(); }
    [[nodiscard]] std::size_t numberOfItemsInSection(std::size_t section) const;

    // The tile shown at the position; nullptr when none is (also when it is out of view).
    [[nodiscard]] CollectionViewItem* itemAtIndexPath(const IndexPath& path) const;
    // Where the tile of the position sits in the scrolled content; empty when out of range.
    [[nodiscard]] QRect frameForItemAtIndexPath(const IndexPath& path) const;
    // The height of all sections; the content is as wide as the view.
    [[nodiscard]] int contentHeight() const;

    [[nodiscard]] const IndexPathSet& selectionIndexPaths() const { return selection_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultiple_ = allows; }
    // Code changing the selection: the delegate is not told. Positions out of range are
    // ignored.
    void selectItemsAtIndexPaths(const IndexPathSet& paths, bool byExtendingSelection);
    void deselectAll();

    // A click on a tile, as the mouse gives it: selects only that tile, or with extend (and
    // multiple selection allowed) adds it or takes it out. The delegate is told.
    void clickItem(const IndexPath& path, bool extend);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void layoutTiles();
    // Makes the tiles of the positions now in view and lets those out of view go.
    void fillVisible();
    // Hides the tile and keeps it for makeItemWithIdentifier(); its own action may be running.
    void discard(CollectionViewItem* item);
    [[nodiscard]] int sectionHeight(std::size_t count, int perRow) const;
    [[nodiscard]] bool contains(const IndexPath& path) const;
    void markSelection();
    [[nodiscard]] int columns() const;

    CollectionViewDataSource* source_ = nullptr;
    CollectionViewDelegate* delegate_ = nullptr;
    std::map<std::string, std::function<std::unique_ptr<CollectionViewItem>()>> factories_;
    std::vector<std::size_t> counts_;
    std::map<IndexPath, QPointer<CollectionViewItem>> items_;
    std::map<std::string, std::vector<QPointer<CollectionViewItem>>> reusable_;
    IndexPathSet selection_;
    bool allowsMultiple_ = false;
    QSize itemSize_{128, 104};
    QMargins inset_;
    int interitem_ = 10;
    int line_ = 10;
    QWidget* content_;
};

// The notes store's view of the grid, over a CollectionViewWidget it does not own.
class QtCollectionView final : public CollectionView {
  public:
    explicit QtCollectionView(CollectionViewWidget* widget) : widget_(widget) {}

    void reloadData() override;
    [[nodiscard]] IndexPathSet selectionIndexPaths() const override;

    [[nodiscard]] CollectionViewWidget* widget() const { return widget_; }

  private:
    QPointer<CollectionViewWidget> widget_;
};

}  // namespace m2::platform::ui

#include "ui/file_chooser.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFont>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStorageInfo>
#include <QTreeView>
#include <algorithm>

#include "job/chooser_listing.h"
#include "platform/folder.h"
#include "settings/plot_settings.h"
#include "ui/chooser_geometry.h"
#include "ui/chooser_preview.h"

namespace tovrin {
namespace {

constexpr int kFileNameRole = Qt::UserRole;

// The preview pane lies right of the original controls, which keep their
// places; the window grows by its width.
constexpr int kOriginalWidth = 9045;
constexpr int kClientHeight = 3045;
constexpr int kPreviewLeft = 9000;  // right of the folder tree's edge at 8892
constexpr int kPreviewWidth = 4200;
constexpr int kClientWidth = kPreviewLeft + kPreviewWidth + 120;
static_assert(kClientWidth > kOriginalWidth);
constexpr int kPreviewDelayMs = 120;

QString ToQString(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}
std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// True when `path` is `folder` or lies below it.
bool Within(const QString& path, const QString& folder) {
  if (path == folder) return true;
  QString prefix = folder.endsWith('/') ? folder : folder + '/';
  return path.startsWith(prefix);
}

QFont ListFont() {
  QFont font(QStringLiteral("IPAGothic"), 9);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  return font;
}

}  // namespace

// Keeps the tree to one volume: its root, the root's ancestors (so the root
// can be shown as the top item) and everything below it.
class VolumeFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

  void SetVolume(const QString& root) {
    root_ = root;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    auto* files = static_cast<QFileSystemModel*>(sourceModel());
    QString path = files->filePath(files->index(row, 0, parent));
    return root_.isEmpty() || Within(path, root_) || Within(root_, path);
  }

 private:
  QString root_;
};

QStringList MountedVolumeRoots() {
  QStringList roots{QStringLiteral("/")};
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir())
      roots << volume.rootPath();
  }
  roots.sort();
  roots.removeDuplicates();
  return roots;
}

QString VolumeOf(const QString& folder) {
  QString root = QStorageInfo(folder).rootPath();
  return root.isEmpty() ? QStringLiteral("/") : root;
}

FileChooser::FileChooser(QWidget* parent, const std::string& ofi_folder,
                         const std::string& start_folder, const ChooserPosition& position,
                         const PlotSettings* settings)
    : QDialog(parent), position_(position) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("ﾌｧｲﾙを開く"));
  BuildControls();
  preview_ = new ChooserPreview(this, settings ? *settings : PlotSettings::Defaults(start_folder));
  SetTwipsGeometry(preview_, kPreviewLeft, 120, kPreviewWidth, 2772);
  preview_timer_.setSingleShot(true);
  preview_timer_.setInterval(kPreviewDelayMs);
  connect(&preview_timer_, &QTimer::timeout, this, [this] { ShowPreview(); });
  connect(list_, &QListWidget::currentItemChanged, this, [this] { SchedulePreview(); });
  connect(list_, &QListWidget::itemSelectionChanged, this, [this] { SchedulePreview(); });

  QString opening = ToQString(OpeningFolder(ofi_folder, start_folder));
  QString volume = VolumeOf(opening);
  FillDrives(volume);
  RootTreeAt(volume);
  ShowFolder(ToPath(opening));
  MoveToTwips(this, position_);
}

void FileChooser::BuildControls() {
  SetTwipsClientSize(this, kClientWidth, kClientHeight);

  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("List1"));
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setFont(ListFont());
  SetTwipsGeometry(list_, 120, 120, 6132, 2580);

  drives_ = new QComboBox(this);
  drives_->setObjectName(QStringLiteral("Drive1"));
  drives_->setGeometry(TwipsToPixelsX(this, 6360), TwipsToPixelsY(this, 120),
                       TwipsToPixelsX(this, 2532), drives_->sizeHint().height());

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::Dirs | QDir::NoDotAndDotDot);  // folders only
  filter_ = new VolumeFilter(this);
  filter_->setSourceModel(model_);
  tree_ = new QTreeView(this);
  tree_->setObjectName(QStringLiteral("Dir1"));
  tree_->setModel(filter_);
  tree_->setHeaderHidden(true);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->setSortingEnabled(true);
  tree_->sortByColumn(0, Qt::AscendingOrder);
  SetTwipsGeometry(tree_, 6360, 480, 2532, 1704);

  choose_ = new QPushButton(QStringLiteral("選択"), this);
  choose_->setObjectName(QStringLiteral("Command1"));
  SetTwipsGeometry(choose_, 6360, 2400, 1092, 492);
  cancel_ = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel_->setObjectName(QStringLiteral("Command2"));
  SetTwipsGeometry(cancel_, 7800, 2400, 1092, 492);

  connect(choose_, &QPushButton::clicked, this, [this] { Accept(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
  connect(drives_, &QComboBox::currentIndexChanged, this, [this](int i) { OnDriveChanged(i); });
  // The tree fills in the background: keep the shown folder in view as it grows.
  connect(model_, &QFileSystemModel::directoryLoaded, this, [this] {
    if (tree_->currentIndex().isValid())
      tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!moving_tree_ && current.isValid())
              OnTreeFolderChanged(model_->filePath(filter_->mapToSource(current)));
          });
}

void FileChooser::FillDrives(const QString& volume) {
  QSignalBlocker block(drives_);
  drives_->clear();
  QStringList roots = MountedVolumeRoots();
  if (!roots.contains(volume)) roots << volume;
  for (const QString& root : roots) drives_->addItem(root, root);
  drives_->setCurrentIndex(drives_->findData(volume));
}

void FileChooser::RootTreeAt(const QString& volume) {
  volume_ = volume;
  QSignalBlocker block(tree_->selectionModel());
  model_->setRootPath(volume);
  filter_->SetVolume(volume);
  QModelIndex top = model_->index(volume).parent();
  tree_->setRootIndex(top.isValid() ? filter_->mapFromSource(top) : QModelIndex());
}

void FileChooser::SelectInTree(const QString& folder) {
  QModelIndex index = filter_->mapFromSource(model_->index(folder));
  if (!index.isValid()) return;  // e.g. a hidden folder: the list still follows it
  moving_tree_ = true;
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) tree_->expand(up);
  tree_->setCurrentIndex(index);
  tree_->expand(index);  // its subfolders are where the user goes next
  tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  moving_tree_ = false;
}

void FileChooser::ShowFolder(const std::string& folder) {
  QString path = ToQString(folder);
  if (!Within(path, volume_)) {
    QString volume = VolumeOf(path);
    if (drives_->findData(volume) < 0) drives_->addItem(volume, volume);
    QSignalBlocker block(drives_);
    drives_->setCurrentIndex(drives_->findData(volume));
    RootTreeAt(volume);
  }
  SelectInTree(path);
  folder_ = folder;
  last_folder_on_volume_[volume_] = path;
  FillList();
}

void FileChooser::OnDriveChanged(int index) {
  QString volume = drives_->itemData(index).toString();
  if (volume.isEmpty()) return;
  RootTreeAt(volume);
  auto last = last_folder_on_volume_.find(volume);
  QString folder = last != last_folder_on_volume_.end() ? last->second : volume;
  ShowFolder(ToPath(folder));
}

void FileChooser::OnTreeFolderChanged(const QString& folder) {
  if (ToPath(folder) != folder_) ShowFolder(ToPath(folder));
}

void FileChooser::FillList() {
  list_->clear();
  for (const ChooserEntry& entry : ListChooserDrawings(folder_)) {
    auto* item = new QListWidgetItem(QString::fromStdString(entry.text), list_);
    item->setData(kFileNameRole, QByteArray::fromStdString(entry.file_name));
  }
}

void FileChooser::SchedulePreview() { preview_timer_.start(); }

// The current line when it is selected, else the first selected one: the
// drawing "選択" would plot, under the name the job will open.
void FileChooser::ShowPreview() {
  QListWidgetItem* shown = list_->currentItem();
  if (!shown || !shown->isSelected()) {
    shown = nullptr;
    for (int row = 0; row < list_->count() && !shown; ++row)
      if (list_->item(row)->isSelected()) shown = list_->item(row);
  }
  if (!shown) {
    if (!preview_->Shown().empty()) preview_->ShowNothing();
    return;
  }
  const std::string name =
      ChosenFileName(folder_, shown->data(kFileNameRole).toByteArray().toStdString());
  const std::string path = JoinPath(folder_, name);
  if (path != preview_->Shown()) preview_->ShowDrawing(path);
}

void FileChooser::Accept() {
  chosen_.clear();
  for (int row = 0; row < list_->count(); ++row) {
    QListWidgetItem* item = list_->item(row);
    if (item->isSelected())
      chosen_.push_back(
          ChosenFileName(folder_, item->data(kFileNameRole).toByteArray().toStdString()));
  }
  accept();
}

// Every way of closing passes here: buttons, Escape and the close box.
void FileChooser::done(int result) {
  preview_timer_.stop();
  position_ = TwipsPositionOf(this, position_);
  if (result != Accepted) chosen_.clear();
  QDialog::done(result);
}

std::vector<std::string> ChooseDrawingFiles(QWidget* parent, std::string& ofi_folder,
                                            const std::string& start_folder,
                                            ChooserPosition& position,
                                            const PlotSettings* settings) {
  FileChooser chooser(parent, ofi_folder, start_folder, position, settings);
  chooser.exec();
  ofi_folder = chooser.Folder();
  position = chooser.Position();
  return chooser.Chosen();
}

}  // namespace tovrin

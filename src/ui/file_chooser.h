// The file chooser window (Form3): picks the drawings of a manual job.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QFileSystemModel;
class QListWidget;
class QPushButton;
class QTreeView;
class QWidget;

namespace tovrin {

class ChooserPreview;
struct PlotSettings;
class VolumeFilter;

struct ChooserPosition {
  int16_t top = 1250;  // twips
  int16_t left = 1150;
};

// Shows the chooser modally at `position`, starting in `ofi_folder`. Returns
// the chosen file names (each name part + ".OFI"), or an empty list on
// cancel; `ofi_folder` follows the folder shown and `position` is where the
// window was when it closed. The preview pane translates the selected
// drawing with `settings` (the defaults when null).
std::vector<std::string> ChooseDrawingFiles(QWidget* parent, std::string& ofi_folder,
                                            const std::string& start_folder,
                                            ChooserPosition& position,
                                            const PlotSettings* settings = nullptr);

// The window behind ChooseDrawingFiles.
class FileChooser : public QDialog {
 public:
  FileChooser(QWidget* parent, const std::string& ofi_folder, const std::string& start_folder,
              const ChooserPosition& position, const PlotSettings* settings = nullptr);

  // Shows `folder` in the tree and lists its drawings, as a click in the
  // folder tree does.
  void ShowFolder(const std::string& folder);

  // The folder last listed; the job's OFI folder follows it.
  const std::string& Folder() const { return folder_; }
  // The names "選択" handed over; empty after a cancel.
  const std::vector<std::string>& Chosen() const { return chosen_; }
  // Where the window was when it closed.
  const ChooserPosition& Position() const { return position_; }

  QListWidget* DrawingList() const { return list_; }
  QComboBox* DriveList() const { return drives_; }
  QTreeView* FolderTree() const { return tree_; }
  ChooserPreview* PreviewPane() const { return preview_; }

  void done(int result) override;

 private:
  void BuildControls();
  void FillDrives(const QString& volume);
  void RootTreeAt(const QString& volume);
  void SelectInTree(const QString& folder);
  void OnDriveChanged(int index);
  void OnTreeFolderChanged(const QString& folder);
  void FillList();
  void Accept();
  void SchedulePreview();
  void ShowPreview();

  QListWidget* list_ = nullptr;
  QComboBox* drives_ = nullptr;
  QTreeView* tree_ = nullptr;
  QFileSystemModel* model_ = nullptr;
  VolumeFilter* filter_ = nullptr;
  QPushButton* choose_ = nullptr;
  QPushButton* cancel_ = nullptr;
  ChooserPreview* preview_ = nullptr;
  QTimer preview_timer_;  // a run of selection changes makes one preview

  std::string folder_;
  QString volume_;
  std::map<QString, QString> last_folder_on_volume_;  // a drive's "current folder"
  bool moving_tree_ = false;
  std::vector<std::string> chosen_;
  ChooserPosition position_;
};

// The volumes the drive list offers: the mounted file systems' root folders.
QStringList MountedVolumeRoots();

// The root of the volume holding `folder`.
QString VolumeOf(const QString& folder);

}  // namespace tovrin

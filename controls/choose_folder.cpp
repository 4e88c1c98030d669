#include "controls/choose_folder.h"

#include <QDir>
#include <QFileDialog>

#include <QGridLayout>
#include <QLabel>
#include "controls/name_only_icon_provider.h"

namespace korvel {

namespace {

const char kStatusLineName[] = "korvelFolderStatus";

QString StatusTextFor(const QString& path) {
  return path.isEmpty() ? QString() : QDir::toNativeSeparators(QDir::cleanPath(path));
}

}  // namespace

std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent, const QString& initial_folder,
                                              const QString& title) {
  auto dialog = std::make_unique<QFileDialog>(
      parent, title.isEmpty() ? QString::fromUtf8(kChooseFolderTitle) : title);
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  TypeFilesByName(*dialog);
  dialog->setOption(QFileDialog::ShowDirsOnly, true);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  if (!initial_folder.isEmpty()) {
    dialog->setDirectory(initial_folder);
  }

  auto* status = new QLabel(dialog.get());
  status->setObjectName(QLatin1String(kStatusLineName));
  status->setTextFormat(Qt::PlainText);
  // A long path must not widen the dialog.
  status->setMinimumWidth(1);
  status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) {
    grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
  } else if (dialog->layout() != nullptr) {
    dialog->layout()->addWidget(status);
  }
  // Until something is highlighted, confirming gives the folder the dialog shows.
  status->setText(StatusTextFor(dialog->directory().absolutePath()));

  QFileDialog* raw = dialog.get();
  QObject::connect(raw, &QFileDialog::currentChanged, status, [raw, status](const QString& path) {
    status->setText(StatusTextFor(path.isEmpty() ? raw->directory().absolutePath() : path));
  });
  QObject::connect(raw, &QFileDialog::directoryEntered, status,
                   [status](const QString& path) { status->setText(StatusTextFor(path)); });
  return dialog;
}

QLabel* FolderStatusLine(const QFileDialog& dialog) {
  return dialog.findChild<QLabel*>(QLatin1String(kStatusLineName));
}

QString ChosenFolder(const QFileDialog& dialog) {
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen.first());
}

QString ChooseFolder(QWidget* parent, const QString& initial_folder, const QString& title) {
  const auto dialog = MakeFolderDialog(parent, initial_folder, title);
  if (dialog->exec() != QDialog::Accepted) {
    return QString();
  }
  return ChosenFolder(*dialog);
}

}  // namespace korvel

#include "firmware/UploadDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

UploadDialog::UploadDialog(QWidget* owner, ModuleRec& rec, std::string fileName)
    : QDialog(owner), rec_(rec), fileName_(std::move(fileName)) {
  setObjectName("DIALOG_UPLOAD");
  setWindowTitle("Uploading Firmware");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel("Uploading firmware to KVX module", this);
  text->setObjectName("uploadText");
  layout->addWidget(text);
  bar_ = new QProgressBar(this);
  bar_->setObjectName("uploadProgress");
  bar_->setRange(0, 100);
  bar_->setValue(0);
  layout->addWidget(bar_);
  progress_ = new QLabel(this);
  progress_->setObjectName("uploadProgressText");
  layout->addWidget(progress_);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("uploadCancel");
  layout->addWidget(cancel_, 0, Qt::AlignHCenter);
  connect(cancel_, &QPushButton::clicked, this, &UploadDialog::reject);

  run_.onProgress([this] { showProgress(); });
  // The end has been shown by the run (message box); the dialog just closes.
  run_.onFinished([this](int result) { done(result == 1 ? QDialog::Accepted : QDialog::Rejected); });
}

UploadDialog::~UploadDialog() { run_.cancel(); }

bool UploadDialog::start() {
  progress_->clear();
  bar_->setValue(0);
  if (run_.begin(rec_, fileName_)) return true;
  done(QDialog::Rejected);
  return false;
}

void UploadDialog::showProgress() {
  progress_->setText(QString::fromStdString(run_.progressText()));
  bar_->setValue(run_.percent());
}

void UploadDialog::reject() {
  run_.cancel();
  QDialog::reject();
}

int UploadDialog_Run(QWidget* owner, ModuleRec& rec, const std::string& fileName) {
  UploadDialog dialog(owner, rec, fileName);
  if (!dialog.start()) return 0;
  dialog.exec();
  return dialog.uploadResult();
}

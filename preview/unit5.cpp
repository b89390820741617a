#include "preview/unit5.h"

#include <QAudioOutput>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVideoWidget>
#include <climits>

#include "widgets/named_widget.h"
#include "widgets/command_guard.h"
#include "widgets/text_bytes.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "preview/picture_error.h"
#include "preview/picture_loader.h"
#include "preview/rich_text_view.h"
#include "preview/rtf_reader.h"
#include "recovery/run_ports.h"

namespace salvorine {
namespace {

constexpr int kTextTab = 0;
// Laying out text costs about 60 ms per MiB: a longer copy shows its beginning
// and "...", so that the window never freezes for seconds.
constexpr qint64 kTextLimit = 8 << 20;
constexpr int kImageTab = 1;
constexpr int kMediaTab = 2;

// The viewer a file's extension (in any letter case) calls for: pictures the
// image viewer decodes, sound and video the media viewer plays, text the rest.
// "0:00:05 / 0:01:30": where playback is, of how long the file plays.
QString PlayTimeText(qint64 position, qint64 duration) {
  const auto text = [](qint64 ms) { return Shown(ElapsedText(std::chrono::milliseconds(ms))); };
  return text(position) + QStringLiteral(" / ") + text(duration);
}

int TabFor(const std::string& path) {
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return kTextTab;
  const QString extension = Shown(path.substr(dot + 1)).toLower();
  static const QStringList pictures{"bmp", "ico", "jpg", "jpeg", "emf", "wmf", "png", "gif", "tif", "tiff", "webp"};
  static const QStringList media{"wav", "mp3", "ogg", "oga", "flac", "wma", "m4a", "aac", "opus", "mid",
                                 "avi", "mp4", "m4v", "mkv", "mov", "mpg", "mpeg", "wmv", "webm", "ogv", "3gp"};
  if (pictures.contains(extension)) return kImageTab;
  if (media.contains(extension)) return kMediaTab;
  return kTextTab;
}

QPixmap Placeholder() {
  QPixmap tiny(1, 1);
  tiny.fill(Qt::white);
  return tiny;
}

}  // namespace

TForm5::TForm5(Dialogs& dialogs, QWidget* parent) : CentredDialog(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("Form5"));
  setWindowTitle(QStringLiteral("Preview"));
  setFixedSize(545, 450);

  Button1 = new QPushButton(QStringLiteral("Close"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button2 = new QPushButton(QStringLiteral("Open"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { Button2Click(); }); });

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
  RichEdit1 = new RichEditBox(TabSheet1);
  RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
  RichEdit1->setReadOnly(true);
  // Read-only, but its text can be selected and copied.
  RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  RichEdit1->setAcceptRichText(false);
  RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
  RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* text_layout = new QVBoxLayout(TabSheet1);
  text_layout->addWidget(RichEdit1);

  TabSheet2 = new QWidget;
  TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
  auto* image_layout = new QGridLayout(TabSheet2);
  for (QLabel** image : {&Image1, &Image2}) {
    *image = new QLabel(TabSheet2);
    (*image)->setScaledContents(true);  // stretched to the control, aspect ratio not kept
    (*image)->setPixmap(Placeholder());
    (*image)->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    image_layout->addWidget(*image, 0, 0);  // both in the same place
  }
  Image1->setObjectName(QStringLiteral("Image1"));
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->hide();

  TabSheet3 = CreateMediaTab();
  PageControl1->addTab(TabSheet1, QStringLiteral("Text Viewer"));
  PageControl1->addTab(TabSheet2, QStringLiteral("Image Viewer"));
  PageControl1->addTab(TabSheet3, QStringLiteral("Media Viewer"));

  auto* top = new QHBoxLayout;
  top->addWidget(CreateInformationGroup(), 1);
  top->addWidget(Button1, 0, Qt::AlignTop);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(Button2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(PageControl1, 1);
  layout->addLayout(bottom);
}

TForm5::~TForm5() = default;

QWidget* TForm5::CreateInformationGroup() {
  GroupBox1 = new QGroupBox(QStringLiteral("Information"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  auto* grid = new QGridLayout(GroupBox1);
  grid->setVerticalSpacing(2);
  const auto label = [this](const char* name, const QString& text) { return Named<QLabel>(name, text, GroupBox1); };
  Label1 = label("Label1", QStringLiteral("Filename:"));
  Label2 = label("Label2", QStringLiteral("Save as:"));
  Label3 = label("Label3", QStringLiteral("Size:"));
  Label4 = label("Label4", QStringLiteral("Completed:"));
  Label7 = label("Label7", QStringLiteral("Damaged:"));
  Label5 = label("Label5", QStringLiteral("0"));
  Label6 = label("Label6", QStringLiteral("0"));
  Label8 = label("Label8", QStringLiteral("0"));
  Label9 = label("Label9", QString());
  Label9->hide();
  Edit1 = new QLineEdit(GroupBox1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit2 = new QLineEdit(GroupBox1);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  for (QLineEdit* box : {Edit1, Edit2}) box->setReadOnly(true);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(Edit1, 0, 1);
  grid->addWidget(Label2, 1, 0);
  grid->addWidget(Edit2, 1, 1);
  grid->addWidget(Label3, 2, 0);
  grid->addWidget(Label5, 2, 1);
  grid->addWidget(Label4, 3, 0);
  grid->addWidget(Label6, 3, 1);
  grid->addWidget(Label7, 4, 0);
  grid->addWidget(Label8, 4, 1);
  grid->setColumnStretch(1, 1);
  return GroupBox1;
}

QWidget* TForm5::CreateMediaTab() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("TabSheet3"));
  Panel1 = new QWidget(tab);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setAutoFillBackground(true);
  QPalette black = Panel1->palette();
  black.setColor(QPalette::Window, Qt::black);
  Panel1->setPalette(black);
  auto* panel_layout = new QVBoxLayout(Panel1);
  panel_layout->setContentsMargins(0, 0, 0, 0);

  const auto button = [tab](const char* name, QStyle::StandardPixmap icon, const QString& tip) {
    auto* tool = new QToolButton(tab);
    tool->setObjectName(QString::fromLatin1(name));
    tool->setIcon(tab->style()->standardIcon(icon));
    tool->setToolTip(tip);
    return tool;
  };
  PlayButton = button("PlayButton", QStyle::SP_MediaPlay, QStringLiteral("Play"));
  PauseButton = button("PauseButton", QStyle::SP_MediaPause, QStringLiteral("Pause"));
  StopButton = button("StopButton", QStyle::SP_MediaStop, QStringLiteral("Stop"));
  PreviousButton = button("PreviousButton", QStyle::SP_MediaSkipBackward, QStringLiteral("Previous"));
  NextButton = button("NextButton", QStyle::SP_MediaSkipForward, QStringLiteral("Next"));
  StepButton = button("StepButton", QStyle::SP_MediaSeekForward, QStringLiteral("Step"));
  BackButton = button("BackButton", QStyle::SP_MediaSeekBackward, QStringLiteral("Back"));
  RecordButton = button("RecordButton", QStyle::SP_DialogNoButton, QStringLiteral("Record"));
  EjectButton = button("EjectButton", QStyle::SP_ArrowUp, QStringLiteral("Eject"));
  // One file, played back: nothing to record, eject or skip to.
  for (QToolButton* unused : {NextButton, RecordButton, EjectButton}) unused->setEnabled(false);
  // Before the first media file is opened there is no player to command.
  const auto on_player = [this](QToolButton* tool, std::function<void(QMediaPlayer&)> command) {
    connect(tool, &QToolButton::clicked, this, [this, command] {
      if (MediaPlayer1 != nullptr) command(*MediaPlayer1);
    });
  };
  on_player(PlayButton, [](QMediaPlayer& player) { player.play(); });
  on_player(PauseButton, [](QMediaPlayer& player) { player.pause(); });
  on_player(StopButton, [](QMediaPlayer& player) { player.stop(); });
  on_player(PreviousButton, [](QMediaPlayer& player) { player.setPosition(0); });
  on_player(StepButton, [](QMediaPlayer& player) { player.setPosition(player.position() + 1000); });
  on_player(BackButton, [](QMediaPlayer& player) { player.setPosition(std::max<qint64>(0, player.position() - 1000)); });

  PositionSlider = new QSlider(Qt::Horizontal, tab);
  PositionSlider->setObjectName(QStringLiteral("PositionSlider"));
  PositionSlider->setRange(0, 0);
  // A drag or a click on the groove moves playback; the player's own moves only redraw.
  connect(PositionSlider, &QSlider::actionTriggered, this, [this] {
    if (MediaPlayer1 != nullptr) MediaPlayer1->setPosition(PositionSlider->sliderPosition());
  });
  TimeLabel = Named<QLabel>("TimeLabel", PlayTimeText(0, 0), tab);

  auto* bar = new QHBoxLayout;
  bar->setSpacing(1);
  for (QToolButton* tool : {PlayButton, PauseButton, StopButton, PreviousButton, NextButton, StepButton, BackButton,
                            RecordButton, EjectButton}) {
    bar->addWidget(tool);
  }
  bar->addSpacing(4);
  bar->addWidget(PositionSlider, 1);
  bar->addSpacing(4);
  bar->addWidget(TimeLabel);
  auto* layout = new QVBoxLayout(tab);
  layout->addWidget(Panel1, 1);
  layout->addLayout(bar);
  return tab;
}

// The player, its sound output and the video display start the sound system
// (and print what it says of missing devices): they are made for the first
// media file opened, not with the window.
void TForm5::CreateMediaPlayer() {
  if (MediaPlayer1 != nullptr) return;
  video_ = new QVideoWidget(Panel1);
  Panel1->layout()->addWidget(video_);  // the video always fits the panel
  MediaPlayer1 = new QMediaPlayer(this);
  MediaPlayer1->setObjectName(QStringLiteral("MediaPlayer1"));
  audio_ = new QAudioOutput(this);
  MediaPlayer1->setAudioOutput(audio_);
  MediaPlayer1->setVideoOutput(video_);
  connect(MediaPlayer1, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
    PositionSlider->setRange(0, static_cast<int>(std::min<qint64>(duration, INT_MAX)));
    ShowPosition(MediaPlayer1->position());
  });
  connect(MediaPlayer1, &QMediaPlayer::positionChanged, this, [this](qint64 position) { ShowPosition(position); });
  connect(MediaPlayer1, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error) {
    // A backend may report several errors for one file; the user hears of it once.
    if (error == QMediaPlayer::NoError || media_failed_) return;
    media_failed_ = true;
    dialogs_.ShowError(kUnknownFormat);
  });
}

void TForm5::ShowPosition(qint64 position) {
  // The user's drag is not pulled back while it lasts.
  if (!PositionSlider->isSliderDown()) PositionSlider->setValue(static_cast<int>(std::min<qint64>(position, INT_MAX)));
  TimeLabel->setText(PlayTimeText(position, MediaPlayer1->duration()));
}

void TForm5::Fill(const PreviewRow& row) {
  PageControl1->setCurrentIndex(TabFor(row.source_path.empty() ? row.recovered_copy_path : row.source_path));
  Edit1->setText(Shown(row.source_path));
  Edit2->setProperty("path", QByteArray::fromStdString(row.destination_path));
  Edit2->setText(Shown(row.destination_path));
  Label9->setText(Shown(row.recovered_copy_path));
  Label9->setProperty("path", QByteArray::fromStdString(row.recovered_copy_path));
  Label5->setText(Shown(row.size));
  Label6->setText(Shown(row.completed));
  Label8->setText(Shown(row.damaged));
}

void TForm5::ShowRow(const PreviewRow& row) {
  Fill(row);
  exec();
}

// The run's working copy of the row; a row the run found complete (or that an
// earlier session recovered) has none, and its saved copy is opened instead.
std::string TForm5::CopyPath() const {
  const std::string working = Label9->property("path").toByteArray().toStdString();
  const std::string saved = Edit2->property("path").toByteArray().toStdString();
  return FileExists(working) || saved.empty() || !FileExists(saved) ? working : saved;
}

void TForm5::Button2Click() {
  const std::string path = CopyPath();
  switch (PageControl1->currentIndex()) {
    case kTextTab: return OpenText(path);
    case kImageTab: return OpenImage(path);
    default: return OpenMedia(path);
  }
}

void TForm5::OpenText(const std::string& path) {
  QFile file(Shown(path));
  if (!file.open(QIODevice::ReadOnly)) return dialogs_.ShowError(kUnknownFormat);
  const QByteArray bytes = file.read(kTextLimit);
  const bool cut = !file.atEnd();
  const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  if (LooksLikeRtf(view)) {
    RichDocument document = ReadRtf(view);
    if (cut) document.paragraphs.push_back({{TextRun{"...", {}}}});
    FillTextDocument(*RichEdit1->document(), document);
  } else {
    // Plain text, never interpreted as HTML or Markdown.
    RichEdit1->setPlainText(QString::fromUtf8(bytes) + (cut ? QStringLiteral("\n...") : QString()));
  }
}

void TForm5::OpenImage(const std::string& path) {
  Image1->hide();
  Image2->hide();
  const auto dot = path.rfind('.');
  const bool bitmap = dot != std::string::npos && path.find('/', dot) == std::string::npos && path.substr(dot) == ".bmp";
  QLabel* target = bitmap ? Image1 : Image2;
  QImage picture;
  try {
    picture = LoadPicture(path);
  } catch (const PictureError&) {
    return dialogs_.ShowError(kUnknownFormat);
  }
  // A decoder that delivered no picture at all failed as surely as one that threw.
  if (picture.isNull()) return dialogs_.ShowError(kUnknownFormat);
  target->setPixmap(QPixmap::fromImage(picture));
  target->show();
}

void TForm5::OpenMedia(const std::string& path) {
  if (!FileExists(path)) return dialogs_.ShowError(kUnknownFormat);
  CreateMediaPlayer();
  MediaPlayer1->stop();
  MediaPlayer1->setSource(QUrl());
  media_failed_ = false;
  MediaPlayer1->setSource(QUrl::fromLocalFile(Shown(path)));
  MediaPlayer1->play();
}

void TForm5::SetText(TextSlot slot, const QString& shown) {
  switch (slot) {
    case TextSlot::kPreviewInformationGroup: return GroupBox1->setTitle(shown);
    case TextSlot::kPreviewCloseButton: return Button1->setText(shown);
    case TextSlot::kPreviewCaption: return setWindowTitle(shown);
    case TextSlot::kPreviewFileNameLabel: return Label1->setText(shown);
    case TextSlot::kPreviewSaveAsLabel: return Label2->setText(shown);
    case TextSlot::kPreviewSizeLabel: return Label3->setText(shown);
    case TextSlot::kPreviewCompletedLabel: return Label4->setText(shown);
    case TextSlot::kPreviewDamagedLabel: return Label7->setText(shown);
    case TextSlot::kPreviewTextTab: return PageControl1->setTabText(0, shown);
    case TextSlot::kPreviewImageTab: return PageControl1->setTabText(1, shown);
    case TextSlot::kPreviewMediaTab: return PageControl1->setTabText(2, shown);
    case TextSlot::kPreviewOpenButton: return Button2->setText(shown);
    default: return;
  }
}

void TForm5::Button1Click() { close(); }

void TForm5::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TForm5::FormClose() {
  RichEdit1->clear();
  if (MediaPlayer1 == nullptr) return;
  MediaPlayer1->stop();
  MediaPlayer1->setSource(QUrl());
}

}  // namespace salvorine

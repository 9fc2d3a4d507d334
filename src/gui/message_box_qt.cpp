#include "gui/message_box_qt.h"

#include <QPushButton>
#include <QVariant>
#include <QWidget>

namespace velt {
namespace {

constexpr const char* kNextKind = "veltNextMessageKind";

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return QMessageBox::Warning;
    case MessageKind::Question:
      return QMessageBox::Question;
    case MessageKind::Information:
      return QMessageBox::Information;
    case MessageKind::Error:
      break;
  }
  return QMessageBox::Critical;
}

void CaptionInRussian(QMessageBox& box) {
  const std::pair<QMessageBox::StandardButton, const char16_t*> captions[] = {
      {QMessageBox::Yes, u"&Да"},         {QMessageBox::No, u"&Нет"},
      {QMessageBox::Save, u"&Сохранить"}, {QMessageBox::Discard, u"Н&е сохранять"},
      {QMessageBox::Cancel, u"Отмена"},   {QMessageBox::Ok, u"ОК"}};
  for (const auto& [button, caption] : captions)
    if (QAbstractButton* shown = box.button(button)) shown->setText(QString::fromUtf16(caption));
}

}  // namespace

QString ProgramTitle() { return QStringLiteral("Конвертер архивов ВЕЛТ"); }

void ShowMessageBox(QWidget* owner, MessageKind kind, const QString& text) {
  if (owner != nullptr && !owner->isVisible()) owner = nullptr;
  QMessageBox box(IconOf(kind), ProgramTitle(), text, QMessageBox::Ok, owner);
  box.setObjectName(QStringLiteral("MessageBox"));
  CaptionInRussian(box);
  box.setWindowModality(Qt::ApplicationModal);
  // Without a shown owner the window manager may put the box behind
  // another program's windows.
  if (owner == nullptr) box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.show();
  box.raise();
  box.activateWindow();
  box.exec();
}

QMessageBox::StandardButton AskQuestion(QWidget* owner, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton byDefault) {
  QMessageBox box(QMessageBox::Question, ProgramTitle(), text, buttons, owner);
  box.setObjectName(QStringLiteral("QuestionBox"));
  box.setDefaultButton(byDefault);
  CaptionInRussian(box);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void SetNextMessageKind(QWidget& owner, MessageKind kind) {
  owner.setProperty(kNextKind, static_cast<int>(kind));
}

MessageKind TakeNextMessageKind(QWidget* owner) {
  if (owner == nullptr) return MessageKind::Error;
  const QVariant kind = owner->property(kNextKind);
  owner->setProperty(kNextKind, QVariant());
  return kind.isValid() ? static_cast<MessageKind>(kind.toInt()) : MessageKind::Error;
}

}  // namespace velt

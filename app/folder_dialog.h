#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "program/program.h"

class QWidget;

namespace tavro {

// The program's one folder dialog, bd1: a label, the selected folder's path,
// a tree of folders, OK and Cancel. It opens at the folder last confirmed in
// it by any command.
class FolderDialog final : public FolderChooser {
 public:
  // Answers in place of the user, for tests: given the caption, the label and
  // the folder the dialog opens at, the folder confirmed, or nullopt for Cancel.
  using AnswerHook = std::function<std::optional<QString>(
      const QString& caption, const QString& label, const QString& startFolder)>;

  explicit FolderDialog(QWidget* parent) : parent_(parent) {}

  void setCaption(const QString& caption) { caption_ = caption; }
  void setLabel(const QString& label) { label_ = label; }
  // The folder last confirmed with OK; empty until then.
  const QString& folder() const { return path_; }
  // Where the dialog opens: the folder last confirmed, else the home folder.
  QString startFolder() const;

  // Shows the dialog modally; true when a folder was confirmed with OK.
  bool execute();
  bool execute(const std::string& caption, const std::string& label) override;
  std::string path() const override;

  void setAnswerHook(AnswerHook hook) { hook_ = std::move(hook); }

 private:
  std::optional<QString> show();

  QWidget* parent_;
  QString caption_;
  QString label_;
  QString path_;
  AnswerHook hook_;
};

}  // namespace tavro

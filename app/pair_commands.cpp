#include "app/pair_commands.h"

#include "app/local_text.h"
#include "engine/backup_run.h"

namespace tavro {

PairCommands::PairCommands(PairTable& table, FolderDialog& dialog, FileSystem& fs,
                           std::function<void(const QString&)> warn)
    : table_(table), dialog_(dialog), fs_(fs), warn_(std::move(warn)) {}

bool PairCommands::chooseSource() {
  dialog_.setCaption(QStringLiteral("Vyberte adresář k záloze"));
  dialog_.setLabel(QStringLiteral("1. Vyberte adresář, který zálohovat."));
  return dialog_.execute();
}

bool PairCommands::chooseTarget() {
  dialog_.setCaption(QStringLiteral("Vyberte adresář kam zálohovat."));
  dialog_.setLabel(QStringLiteral("2. Vyberte adresář kam zálohovat."));
  return dialog_.execute();
}

void PairCommands::BitBtn3Click() {
  if (!chooseSource()) return;
  const std::string source = localBytes(dialog_.path());
  if (!chooseTarget()) return;
  const std::string target = localBytes(dialog_.path());
  table_.insert();
  table_.setFieldText(Column::Src, source);
  table_.setFieldText(Column::Trg, target);
  table_.setFieldText(Column::Stav, "Neprovedeno");
  table_.post();
  warnAboutConflicts();
  table_.flush();
}

void PairCommands::change(Column column, bool chosen) {
  if (!chosen) return;
  table_.edit();
  table_.setFieldText(column, localBytes(dialog_.path()));
  table_.post();
  table_.flush();
}

void PairCommands::PBEditSrcClick() { change(Column::Src, chooseSource()); }
void PairCommands::PBEditTrgClick() { change(Column::Trg, chooseTarget()); }

void PairCommands::BitBtn4Click() {
  table_.edit();
  table_.remove();
  table_.flush();
}

// A new pair is added as asked, but the user learns before the first run
// that its folder meets another pair's or its own source.
void PairCommands::warnAboutConflicts() {
  const int added = table_.currentIndex();
  const BackupPair pair = table_.pairAt(added);
  if (pairOverlapsItsSource(fs_, pair)) {
    warn_(QStringLiteral("Cíl páru %1 -> %2 leží ve zdroji nebo zdroj v cíli. "
                         "Takový pár se při záloze neprovede.")
              .arg(localText(pair.Src), localText(pair.Trg)));
  }
  auto name = [](const BackupPair& p) { return localText(p.Src) + " -> " + localText(p.Trg); };
  for (int i = 0; i < table_.recordCount(); ++i) {
    if (i == added) continue;
    const BackupPair other = table_.pairAt(i);
    if (pairFoldersCollide(fs_, pair, other)) {
      warn_(QStringLiteral("Cílová složka páru %1 se překrývá s párem %2. "
                           "Při záloze se u nich vynechá výmaz.")
                .arg(name(pair), name(other)));
      return;
    }
    const bool holdsOther = pairFolderHoldsSource(fs_, pair, other);
    if (holdsOther || pairFolderHoldsSource(fs_, other, pair)) {
      const BackupPair& holder = holdsOther ? pair : other;
      const BackupPair& held = holdsOther ? other : pair;
      warn_(QStringLiteral("Zdroj páru %1 leží v cílové složce páru %2. "
                           "Výmaz páru %2 tuto složku vynechá.")
                .arg(name(held), name(holder)));
      return;
    }
  }
}

}  // namespace tavro

#include "engine/failure.h"

namespace tavro {

namespace {

std::string text(const Failure& f) {
  switch (f.kind) {
    case FailureKind::IncompletePair: return "Neúplný pár: " + f.path + " -> " + f.target;
    case FailureKind::InvalidPair: return "Neplatný pár: " + f.path + " -> " + f.target;
    case FailureKind::OverlappingPair: return "Cíl a zdroj se překrývají: " + f.path;
    case FailureKind::SourceUnreadable: return "Nelze číst zdroj: " + f.path;
    case FailureKind::StateNotRecorded: return "Nelze zapsat stav: " + f.path;
    case FailureKind::MassDeletion:
      return "Výmaz vynechán, zdroj přišel o " + std::to_string(f.count) + " z " +
             std::to_string(f.of) + " souborů: " + f.path;
    case FailureKind::EmptySource: return "Zdroj je prázdný, výmaz vynechán: " + f.path;
    case FailureKind::TargetMissing: return "Cíl neexistuje: " + f.path;
    case FailureKind::TargetUnopenable: return "Nelze otevřít cíl: " + f.path;
    case FailureKind::TargetNotMounted: return "Cíl není připojen: " + f.path;
    case FailureKind::SharedPairFolder: return "Výmaz vynechán, cíl sdílí jiný pár: " + f.path;
    case FailureKind::OtherPairsSource:
      return "Výmaz vynechán, cíl obsahuje zdroj jiného páru: " + f.path;
    case FailureKind::NotOnDisk: return "Nelze uložit na disk: " + f.path;
    case FailureKind::FolderTooDeep: return "Příliš hluboká složka: " + f.path;
    case FailureKind::FolderUnreadable: return "Nelze číst složku: " + f.path;
    case FailureKind::AttributesNotCopied: return "Nelze zkopírovat atributy: " + f.path;
    case FailureKind::OldCopyNotRemoved: return "Nelze vymazat: " + f.path;
    case FailureKind::NotCopied: return "Nelze zkopirovat: " + f.path;
    case FailureKind::NotDeleted: return "Nelze smazat subor: " + f.path;
  }
  return f.path;
}

}  // namespace

std::string failureLine(const Failure& failure) { return text(failure) + " !!!"; }

std::string printableLine(const std::string& line) {
  std::string shown;
  shown.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    const auto next = i + 1 < line.size() ? static_cast<unsigned char>(line[i + 1]) : 0;
    const auto third = i + 2 < line.size() ? static_cast<unsigned char>(line[i + 2]) : 0;
    if (c < 0x20 || c == 0x7F) {
      shown += '?';
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080..U+009F
      shown += '?';
      i += 1;
    } else if (c == 0xE2 && next == 0x80 && (third == 0xA8 || third == 0xA9)) {  // U+2028, U+2029
      shown += '?';
      i += 2;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

}  // namespace tavro

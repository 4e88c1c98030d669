#ifdef KORVEL_WITH_SEED
#include "mainwindow/sds_remark_texts.h"

#include "seed/sds_manifest.h"

namespace korvel {

std::string SdsRemarkForOperator(const SdsRemark& r) {
  const std::string name = r.station + " " + r.channel;
  switch (r.kind) {
    case SdsRemarkKind::kNotSeedStation:
      return "Станция " + r.station +
             ": имя не годится в коды станций SEED (от 1 до 5 заглавных латинских букв и цифр); "
             "не экспортирована";
    case SdsRemarkKind::kStationLocked:
      return r.value + "; не экспортирована";
    case SdsRemarkKind::kBadSeedChannel:
      return name + ": [SEED." + r.station + "] " + r.channel + "=" + r.value +
             " не код канала SEED (3 заглавные латинские буквы или цифры); не экспортирован";
    case SdsRemarkKind::kNoSeedChannel:
      return name + ": нет кода канала SEED; добавьте в korvel2tqf.ini в раздел [SEED." +
             r.station + "] строку " + r.channel + "=КОД; пропущен";
    case SdsRemarkKind::kUnreadableTqf:
      return r.subject + ": не читается как файл TQF; не экспортирован";
    case SdsRemarkKind::kHeaderDisagrees:
      return r.subject +
             ": заголовок файла расходится с его строкой в каталоге (подробности: korvel2tqf-cli "
             "verify); не экспортирован";
    case SdsRemarkKind::kOverlap:
      return "Перекрытие " + name + ": с " + r.from + " по " + r.to + "; оставлены оба файла";
    case SdsRemarkKind::kBadLocation:
      return "[SEED] LOC=" + r.value +
             " не код местоположения SEED (пусто или 1–2 заглавные латинские буквы или цифры); "
             "ничего не экспортировано";
    case SdsRemarkKind::kSourceUnreadable:
      return r.subject + ": не читается; не экспортирован";
    case SdsRemarkKind::kCannotWrite:
      return r.subject + ": не удаётся записать: " + r.value;
    case SdsRemarkKind::kNotPacked:
      return r.subject + ": libmseed не смогла упаковать записи; не записан";
    case SdsRemarkKind::kLeftAsItIs:
      return r.subject +
             ": записан другой программой или изменён после записи этой; оставлен как есть";
    case SdsRemarkKind::kListCannotWrite:
      return r.subject + ": не удаётся записать " + kSdsManifestName + ": " + r.value;
    case SdsRemarkKind::kListLineCannotWrite:
      return r.subject + ": не удаётся записать его строку в " + kSdsManifestName + ": " + r.value;
  }
  return {};
}

}  // namespace korvel
#endif  // KORVEL_WITH_SEED

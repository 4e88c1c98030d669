#ifdef KORVEL_WITH_SEED
#include "mainwindow/sds_remark_texts.h"

namespace korvel {

namespace {

constexpr SdsRemarkPatterns kRussian = {
    "Станция {station}: имя не годится в коды станций SEED (от 1 до 5 заглавных латинских букв и "
    "цифр); не экспортирована",
    "{value}; не экспортирована",
    "{station} {channel}: [SEED.{station}] {channel}={value} не код канала SEED (3 заглавные "
    "латинские буквы или цифры); не экспортирован",
    "{station} {channel}: нет кода канала SEED; добавьте в korvel2tqf.ini в раздел "
    "[SEED.{station}] строку {channel}=КОД; пропущен",
    "{subject}: не читается как файл TQF; не экспортирован",
    "{subject}: заголовок файла расходится с его строкой в каталоге (подробности: korvel2tqf-cli "
    "verify); не экспортирован",
    "Перекрытие {station} {channel}: с {from} по {to}; оставлены оба файла",
    "[SEED] LOC={value} не код местоположения SEED (пусто или 1–2 заглавные латинские буквы или "
    "цифры); ничего не экспортировано",
    "{subject}: не читается; не экспортирован",
    "{subject}: не удаётся записать: {value}",
    "{subject}: libmseed не смогла упаковать записи; не записан",
    "{subject}: записан другой программой или изменён после записи этой; оставлен как есть",
    "{subject}: не удаётся записать {list}: {value}",
    "{subject}: не удаётся записать его строку в {list}: {value}",
};

}  // namespace

std::string SdsRemarkForOperator(const SdsRemark& remark) {
  return WordSdsRemark(remark, kRussian);
}

}  // namespace korvel
#endif  // KORVEL_WITH_SEED

#include "engine/conversion_host.h"

#include "config/settings.h"
#include "engine/operator_texts.h"
#include "engine/station_scan.h"
#include "platform/native_path.h"
#include "platform/number_text.h"
#include "platform/text1251.h"

namespace korvel {

double ConversionHost::LockWaitSeconds() const { return ReadLockWaitSeconds(); }

bool ConversionHost::UsesStationLocks() const { return ReadStationLocks(); }

void ConversionHost::SamplesSkipped(const std::filesystem::path& raw_file,
                                    const std::vector<SkippedSamples>& skipped) {
  std::string text = "Файл " + DisplayPath(raw_file) + ": уже есть в архиве, не записано повторно:";
  for (const SkippedSamples& s : skipped)
    text += (&s == &skipped.front() ? " " : ", ") + Cp1251ToUtf8(s.station + " " + s.channel) +
            " " + std::to_string(s.samples) + " отсчётов (" + FixedNumber(s.seconds, 2) + " с)";
  Operator().Message(text, kCommandCaption, MessageIcon::Information);
}

void ConversionHost::StationsScanned(const std::vector<StationScan>& scans) {
  const std::string status = StationScanStatus(scans);
  if (!status.empty()) SetStatusText(status);
}

}  // namespace korvel

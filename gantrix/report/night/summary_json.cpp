#include "gantrix/report/night/summary_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace report::night {

namespace {

QJsonValue Number(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::optional<double> OptionalNumber(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isDouble()) return std::nullopt;
    return value.toDouble();
}

}  // namespace

std::string IsoTime(LogTime time) {
    const Calendar c = CalendarFromLogTime(time);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", c.year, c.month, c.day,
                  c.hour, c.minute, c.second, c.millisecond);
    return text;
}

std::string SummaryJson(const NightSummary& night) {
    QJsonArray exposures;
    for (const ExposureRow& row : night.exposures) {
        QJsonObject e;
        e["page"] = QString("guiexpo_%1.html").arg(row.k);
        e["start"] = Text(IsoTime(row.start));
        e["duration_s"] = row.durationS;
        e["frames"] = row.frames;
        e["guided_frames"] = row.guidedFrames;
        e["star_frames"] = row.starFrames;
        e["star_lost"] = row.starLost;
        e["ra_rms_arcsec"] = Number(row.raRms);
        e["dec_rms_arcsec"] = Number(row.decRms);
        e["total_rms_arcsec"] = Number(row.totalRms);
        e["peak_arcsec"] = Number(row.peak);
        e["corrections"] = row.corrections;
        e["fwhm_median_px"] = Number(row.fwhmMedian);
        e["fwhm_max_px"] = Number(row.fwhmMax);
        exposures.append(e);
    }
    QJsonArray periods;
    for (const PeriodicComponent& c : night.pePeriods)
        periods.append(
            QJsonObject{{"period_s", c.periodS}, {"amplitude_arcsec", c.amplitudeArcsec}});
    QJsonArray stretches;
    for (const StretchAnalysis& s : night.stretches) {
        QJsonArray stretchPeriods;
        for (const PeriodicComponent& c : s.periods) {
            stretchPeriods.append(
                QJsonObject{{"period_s", c.periodS}, {"amplitude_arcsec", c.amplitudeArcsec}});
        }
        stretches.append(QJsonObject{
            {"start", Text(IsoTime(night.logStart + LogTime(s.t0 * 1000)))},
            {"duration_s", s.Duration()},
            {"star_frames", s.samples},
            {"pe_peak_to_peak_arcsec",
             Number(s.peAnalysed ? std::optional<double>(s.pePeakToPeak) : std::nullopt)},
            {"pe_periods", stretchPeriods},
            {"dec_drift_arcsec_per_min", Number(s.decDriftPerMin)}});
    }
    QJsonObject n;
    n["star_frames"] = night.totals.starFrames;
    n["ra_rms_arcsec"] = Number(night.totals.raRms);
    n["dec_rms_arcsec"] = Number(night.totals.decRms);
    n["total_rms_arcsec"] = Number(night.totals.totalRms);
    n["fwhm_median_px"] = Number(night.totals.fwhmMedian);
    n["pe_peak_to_peak_arcsec"] = Number(night.pePeakToPeak);
    n["pe_periods"] = periods;
    n["dec_drift_arcsec_per_min"] = Number(night.decDriftPerMin);
    n["polar_error_arcmin"] = Number(night.polarErrorArcmin);
    n["declination_deg"] = Number(night.declinationDeg);
    n["stretches"] = stretches;

    QJsonObject root;
    root["hc_uid"] = Text(night.hcUid);
    root["firmware_version"] = Text(night.firmwareVersion);
    root["source_file"] = Text(night.sourceFileName);
    root["log_start"] = Text(IsoTime(night.logStart));
    root["exposures"] = exposures;
    root["night"] = n;
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::optional<NightEntry> ReadSummaryJson(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(text.data(), qsizetype(text.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject root = document.object();
    const QJsonObject n = root.value("night").toObject();
    if (!root.value("hc_uid").isString() || !root.value("log_start").isString() ||
        !root.value("exposures").isArray() || n.isEmpty()) {
        return std::nullopt;
    }
    NightEntry entry;
    entry.hcUid = root.value("hc_uid").toString().toStdString();
    entry.logStart = root.value("log_start").toString().toStdString();
    entry.exposures = int(root.value("exposures").toArray().size());
    entry.totalRms = OptionalNumber(n, "total_rms_arcsec");
    entry.pePeakToPeak = OptionalNumber(n, "pe_peak_to_peak_arcsec");
    entry.polarErrorArcmin = OptionalNumber(n, "polar_error_arcmin");
    entry.fwhmMedian = OptionalNumber(n, "fwhm_median_px");
    entry.declinationDeg = OptionalNumber(n, "declination_deg");
    entry.polarAtEquator = entry.polarErrorArcmin && !entry.declinationDeg;
    return entry;
}

}  // namespace report::night

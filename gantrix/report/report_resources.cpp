#include "gantrix/report/report_resources.h"

#include <QFile>

// Resources of a static library need registering by name, outside any namespace.
static void RegisterReportResources() {
    Q_INIT_RESOURCE(gantrix_report);
}

namespace report {

namespace {

std::string ReadResource(const char* name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

}  // namespace

ReportResources LoadReportResources() {
    RegisterReportResources();
    return {ReadResource(":/report/vt5log_template.html"), ReadResource(":/report/vt5log.css"),
            ReadResource(":/report/NORVANE-LOGO-small.jpg")};
}

}  // namespace report

#include "output/reportdesign.h"

const ReportDesign::Band& ReportDesign::band(BandKind kind) const
{
    for (const Band& candidate : bands) {
        if (candidate.kind == kind)
            return candidate;
    }
    static const Band none;
    return none;
}

QStringList ReportDesign::dataFields() const
{
    QStringList fields;
    for (const Control& control : band(BandKind::Detail).controls) {
        if (control.kind == ControlKind::TextBox)
            fields << control.dataField;
    }
    return fields;
}

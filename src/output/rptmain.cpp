#include "output/rptmain.h"

#include "app/apperror.h"
#include "output/reportdesign.h"
#include "output/reportpreview.h"
#include "output/reportrows.h"
#include "store/contacttable.h"

namespace {

using Band = ReportDesign::Band;
using BandKind = ReportDesign::BandKind;
using Control = ReportDesign::Control;
using ControlKind = ReportDesign::ControlKind;

const int kLabelHeight = 240;
const int kBoxHeight = 240;

Control label(const char* name, const char* caption, int left, int top, int width)
{
    return {QLatin1String(name),
            ControlKind::Label,
            QLatin1String(caption),
            QString(),
            left,
            top,
            width,
            kLabelHeight,
            false};
}

Control box(const char* name, const char* field, int left, int top, int width, int height = kBoxHeight)
{
    return {
        QLatin1String(name), ControlKind::TextBox, QString(), QLatin1String(field), left, top, width, height, false};
}

ReportDesign makeDesign()
{
    ReportDesign design;
    design.name = QStringLiteral("rptMain");
    design.caption = QStringLiteral("DataReport1");
    design.reportWidth = 9195;
    design.leftMargin = 500;
    design.rightMargin = 500;
    design.topMargin = 1440;
    design.bottomMargin = 1440;
    design.fontFamily = QStringLiteral("Arial");
    design.fontSize = 165; // 8.25 point
    design.lineWidth = 15; // one pixel on a 96-dpi screen

    Band pageHeader{QStringLiteral("Section2"), BandKind::PageHeader, 810, {}};
    pageHeader.controls = {
        label("Label2", "Name", 0, 0, 567),         label("Label3", "DateOfBirth", 1701, 0, 1125),
        label("Label4", "Mobile", 2835, 0, 567),    label("Label6", "Work", 4535, 0, 570),
        label("Label7", "Fax", 5669, 0, 555),       label("Label1", "Home", 6803, 0, 555),
        label("Label5", "Email", 2835, 300, 567),   label("Label8", "Website", 5669, 300, 1134),
        label("Label9", "Remark", 2835, 567, 1134),
    };
    pageHeader.controls.push_back(
        {QStringLiteral("Line1"), ControlKind::Line, QString(), QString(), 0, 800, 8505, 0, false});

    // Every column holds text, so the boxes carry no display formats: the
    // pound and date formats the design once had would print telephone
    // numbers as amounts of money and names as dates.
    Band detail{QStringLiteral("Section1"), BandKind::Detail, 1140, {}};
    detail.controls = {
        box("Text1", "ContactName", 0, 0, 1701),       box("Text2", "DateOfBirth", 1701, 0, 1140),
        box("Text7", "Mobile1", 2835, 0, 1440),        box("Text6", "Work1", 4300, 0, 1440),
        box("Text9", "Fax1", 5800, 0, 1440),           box("Text11", "Home1", 7300, 0, 1440),
        box("Text3", "Mobile2", 2835, 300, 1440),      box("Text8", "Work2", 4300, 300, 1440),
        box("Text10", "Fax2", 5800, 300, 1440),        box("Text12", "Home2", 7300, 300, 1440),
        box("Text4", "Email", 2835, 567, 2834),        box("Text5", "Website", 5669, 567, 2835),
        box("Text13", "Remark", 2835, 850, 6231, 243),
    };
    // A remark may hold several lines and be long: it wraps and the band
    // grows, so that nothing typed is lost on paper.
    detail.controls.back().grows = true;

    design.bands = {
        {QStringLiteral("Section4"), BandKind::ReportHeader, 0, {}},
        pageHeader,
        detail,
        {QStringLiteral("Section3"), BandKind::PageFooter, 0, {}},
        {QStringLiteral("Section5"), BandKind::ReportFooter, 0, {}},
    };
    return design;
}

} // namespace

rptMain::rptMain() = default;

rptMain::~rptMain()
{
    delete mPreview.data();
}

const ReportDesign& rptMain::design()
{
    static const ReportDesign theDesign = makeDesign();
    return theDesign;
}

void rptMain::setDataSource(Recordset& recordset)
{
    auto rows = std::make_unique<ReportRows>(design().dataFields());
    // The report query is "select *", so the recordset's columns are the
    // table's, in the table's order.
    rows->read(recordset, contact::columnNames());
    mRows = std::move(rows);
}

void rptMain::show(int modal, QWidget* owner)
{
    if (!mRows)
        throw AppError(QStringLiteral("Invalid data source."));
    if (modal != 0 && modal != 1)
        throw AppError(QStringLiteral("Invalid procedure call or argument"));
    delete mPreview.data();
    auto* preview = new ReportPreview(design(), *mRows, owner);
    mPreview = preview;
    if (modal == 1) {
        preview->setWindowModality(Qt::ApplicationModal);
        preview->exec();
    } else {
        preview->show();
    }
}

const ReportRows& rptMain::rows() const
{
    if (!mRows)
        throw AppError(QStringLiteral("Invalid data source."));
    return *mRows;
}

ReportPreview* rptMain::previewWindow() const
{
    return mPreview.data();
}

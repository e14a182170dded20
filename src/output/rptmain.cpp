#include "output/rptmain.h"

#include "base/apperror.h"
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

using contact::Field;

// Where each field's box sits in the detail band, and the box's name; the
// column it shows comes from the field table.
struct BoxPlace {
    const char* name;
    Field field;
    int left, top, width;
    int height = kBoxHeight;
};
const BoxPlace kBoxes[] = {
    {"Text1", Field::Name, 0, 0, 1701},
    {"Text2", Field::DateOfBirth, 1701, 0, 1140},
    {"Text7", Field::Mobile1, 2835, 0, 1440},
    {"Text6", Field::Work1, 4300, 0, 1440},
    {"Text9", Field::Fax1, 5800, 0, 1440},
    {"Text11", Field::Home1, 7300, 0, 1440},
    {"Text3", Field::Mobile2, 2835, 300, 1440},
    {"Text8", Field::Work2, 4300, 300, 1440},
    {"Text10", Field::Fax2, 5800, 300, 1440},
    {"Text12", Field::Home2, 7300, 300, 1440},
    {"Text4", Field::Email, 2835, 567, 2834},
    {"Text5", Field::Website, 5669, 567, 2835},
    {"Text13", Field::Remark, 2835, 850, 6231, 243},
};

// The page header's captions, each over the boxes of the fields that share
// its text.
struct CaptionPlace {
    const char* name;
    const char* caption;
    int left, top, width;
};
const CaptionPlace kCaptions[] = {
    {"Label2", "Name", 0, 0, 567},         {"Label3", "DateOfBirth", 1701, 0, 1125},
    {"Label4", "Mobile", 2835, 0, 567},    {"Label6", "Work", 4535, 0, 570},
    {"Label7", "Fax", 5669, 0, 555},       {"Label1", "Home", 6803, 0, 555},
    {"Label5", "Email", 2835, 300, 567},   {"Label8", "Website", 5669, 300, 1134},
    {"Label9", "Remark", 2835, 567, 1134},
};

Control label(const CaptionPlace& place)
{
    return {QLatin1String(place.name),
            ControlKind::Label,
            QLatin1String(place.caption),
            QString(),
            place.left,
            place.top,
            place.width,
            kLabelHeight,
            false};
}

Control box(const BoxPlace& place)
{
    return {QLatin1String(place.name),
            ControlKind::TextBox,
            QString(),
            QLatin1String(contact::info(place.field).column),
            place.left,
            place.top,
            place.width,
            place.height,
            false};
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
    for (const CaptionPlace& place : kCaptions)
        pageHeader.controls.push_back(label(place));
    pageHeader.controls.push_back(
        {QStringLiteral("Line1"), ControlKind::Line, QString(), QString(), 0, 800, 8505, 0, false});

    // Every column holds text, so the boxes carry no display formats: the
    // pound and date formats the design once had would print telephone
    // numbers as amounts of money and names as dates.
    Band detail{QStringLiteral("Section1"), BandKind::Detail, 1140, {}};
    for (const BoxPlace& place : kBoxes)
        detail.controls.push_back(box(place));
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

rptMain::rptMain(Messages& messages) : mMessages(messages) {}

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
    auto* preview = new ReportPreview(design(), *mRows, mMessages, owner);
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

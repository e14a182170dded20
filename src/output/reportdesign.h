#pragma once

#include <vector>

#include <QString>
#include <QStringList>

// A banded report described as data: bands in print order, each holding
// labels, bound text boxes and lines at fixed places. Every position and size
// is in twips (1440 to the inch); a control's left and top are measured from
// its band's top-left corner inside the page margins.
struct ReportDesign {
    enum class BandKind { ReportHeader, PageHeader, Detail, PageFooter, ReportFooter };
    enum class ControlKind { Label, TextBox, Line };

    struct Control {
        QString name;
        ControlKind kind = ControlKind::Label;
        // A label's fixed text.
        QString caption;
        // The column a text box prints, matched without regard to case.
        QString dataField;
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
        // A growing box wraps its text within its width and takes as many
        // lines as the text needs; its band grows by the same amount.
        bool grows = false;
    };

    struct Band {
        QString name;
        BandKind kind = BandKind::Detail;
        int height = 0;
        std::vector<Control> controls;
    };

    QString name;
    QString caption;
    int reportWidth = 0;
    int leftMargin = 0;
    int rightMargin = 0;
    int topMargin = 0;
    int bottomMargin = 0;
    QString fontFamily;
    // Twips, so that 8.25 point is the whole number 165.
    int fontSize = 0;
    int lineWidth = 0;
    std::vector<Band> bands;

    // The band of that kind; a design without one gets an empty band of height 0.
    const Band& band(BandKind kind) const;
    // The data fields of the detail band's text boxes, in control order.
    QStringList dataFields() const;
};

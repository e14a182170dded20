/* Rondexa example skin: a Qt style sheet.
   To use it, copy this file to x/o.cjs beside the rondexa executable
   (mkdir -p x && cp example.cjs x/o.cjs) and start the program again.
   Only the main window takes the skin. */

QWidget#Form1 {
    background-color: #e9edf2;
}

QGroupBox {
    background-color: #e9edf2;
    border: 1px solid #8a9bb0;
    border-radius: 4px;
    margin-top: 14px;
    padding-top: 6px;
}

QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 8px;
    padding: 0 4px;
    color: #233247;
}

QLabel, QCheckBox, QRadioButton {
    background-color: transparent;
    color: #233247;
}

QPushButton {
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #fdfefe, stop: 1 #d5dde7);
    border: 1px solid #7a8ca3;
    border-radius: 3px;
    color: #1b2838;
    padding: 2px 8px;
}

QPushButton:hover {
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #e3ebf4);
    border-color: #4f6f95;
}

QPushButton:pressed {
    background-color: #c3cfdd;
}

QPushButton:focus {
    border: 1px solid #2f5d91;
}

QLineEdit {
    background-color: #ffffff;
    border: 1px solid #8a9bb0;
    border-radius: 2px;
    padding: 1px 3px;
    selection-background-color: #3d6ea8;
}

QTableView {
    background-color: #ffffff;
    alternate-background-color: #f3f6fa;
    gridline-color: #d3dbe5;
    selection-background-color: #3d6ea8;
    selection-color: #ffffff;
    border: 1px solid #8a9bb0;
}

QHeaderView::section {
    background-color: #d5dde7;
    color: #1b2838;
    border: none;
    border-right: 1px solid #aab8c9;
    border-bottom: 1px solid #aab8c9;
    padding: 2px 4px;
}

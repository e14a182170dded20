#pragma once

#include <gtest/gtest.h>

#include <memory>

#include <QItemSelectionModel>
#include <QTableView>

#include "store/connection.h"
#include "store/contacttable.h"
#include "store/recordset.h"
#include "support/controls.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/form1.h"

// A loaded main window over a fresh data file, with the user's answers scripted.
class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        env = std::make_unique<TempEnv>();
        messages = &env->messages();
        form = std::make_unique<Form1>(env->session());
        ASSERT_TRUE(form->Form_Load());
        ASSERT_TRUE(messages->shown().empty());
    }
    void TearDown() override
    {
        form.reset();
        messages = nullptr;
        env.reset();
    }

    void seed(const Contact& values)
    {
        env->gConn()->execute(contact::insertStatement(values));
        form->loadRondexa();
    }
    static Contact named(const QString& name)
    {
        Contact values;
        values[contact::Field::Name] = name;
        values[contact::Field::DateOfBirth] = QStringLiteral("01/02/1990");
        return values;
    }
    // The stored columns of every contact, by name order.
    std::vector<std::array<QString, 14>> stored()
    {
        std::vector<std::array<QString, 14>> rows;
        Recordset recordset;
        recordset.open(contact::listQuery(), *env->gConn(), 3, 1);
        while (!recordset.eof()) {
            std::array<QString, 14> row;
            for (int i = 0; i < 14; ++i)
                row[static_cast<size_t>(i)] = recordset.field(i);
            rows.push_back(row);
            recordset.moveNext();
        }
        return rows;
    }
    QStringList listedNames() const
    {
        QStringList names;
        for (int r = 0; r < form->rowCount(); ++r)
            names << form->text(r, contact::Field::Name);
        return names;
    }
    void select(int row)
    {
        control<QTableView>(*form, "ListView1")
            .selectionModel()
            ->select(form->listModel().index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    int rowOf(const QString& name) const { return static_cast<int>(listedNames().indexOf(name)); }

    std::unique_ptr<TempEnv> env;
    ScriptedMessages* messages = nullptr;
    std::unique_ptr<Form1> form;
};

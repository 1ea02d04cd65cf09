// A tool window opened over a capture the test paints, as the screen tools'
// tests need it: the address file removed before and after, the pointer
// moved and keys pressed as the picture box and the window receive them.
#pragma once

#include "app/mainform_unit.h"
#include "platform/posix/files.h"
#include "screentools/picturebox.h"
#include "widgets/labelededit.h"

#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace vornik {

class ToolWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::remove(addressFilePath().c_str());
        form = std::make_unique<TForm1>();
        form->Tag = kTagRunning;
        open();
    }
    void TearDown() override
    {
        form.reset();
        std::remove(addressFilePath().c_str());
    }
    // The capture the window shows once opened.
    virtual Bitmap capture() const = 0;
    void open()
    {
        form->Colorpickersizecuttools1Click(nullptr);
        *form->screenshot = capture();
        form->Image1->setPicture(*form->screenshot);
    }
    // A pointer move as the picture box reports it, in device pixels.
    // The move is shown at once, as if its frame were due.
    void pointerAt(int x, int y)
    {
        form->Image1->onMouseMove({}, x, y);
        form->showWaitingMove();
    }
    void key(Qt::Key k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(form->windowHandle(), k, m); }
    std::string text(const TLabeledEdit* box) const { return box->text().toStdString(); }

    std::unique_ptr<TForm1> form;
};

} // namespace vornik

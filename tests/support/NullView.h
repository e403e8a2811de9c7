#pragma once
// A transfer window that shows nothing: it keeps the progress bar's numbers, since the transfer
// reads them back, and hands every problem message to onProblem.

#include "transfer/Transfer.h"

#include <functional>
#include <string>

namespace testsupport {

class NullView : public UnrealMOD::TransferView {
public:
    void ShowTranFrame() override {}
    void SetProgLbl(const std::string&) override {}
    void SetWindowEnabled(bool) override {}
    void SetBusyPointer(bool) override {}
    void SetProgMax(float v) override { max_ = v; }
    void SetProgMin(float) override {}
    void SetProgValue(float v) override { value_ = v; }
    float ProgValue() const override { return value_; }
    float ProgMax() const override { return max_; }
    void ShowEndProg() override {}
    void ShowProblem(const std::string& message) override {
        if (onProblem)
            onProblem(message);
    }

    std::function<void(const std::string&)> onProblem;

private:
    float max_ = 0, value_ = 0;
};

} // namespace testsupport

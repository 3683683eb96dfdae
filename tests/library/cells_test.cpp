// Reading a lab's cells: every kind of measurement cell and every refusal,
// with and without decimal commas, and the nondetect marks.

#include <velmar/velmar.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace {

using velmar::CellRefusal;

struct CellCase {
    std::string_view text;
    bool decimal_comma;
    double value;                      // 0: missing or refused
    bool nondetect;
    std::optional<CellRefusal> refusal;
};

constexpr std::optional<CellRefusal> none;

const CellCase cellCases[] = {
    {"0.5", false, 0.5, false, none},
    {" +2.5e1\t", false, 25.0, false, none},
    {"<0.5", false, 0.5, true, none},
    {"< 0.5 ", false, 0.5, true, none},
    {"", false, 0.0, false, none},
    {"  ", false, 0.0, false, none},
    {"NA", false, 0.0, false, none},
    {"0,5", true, 0.5, false, none},
    {"<0,25", true, 0.25, true, none},
    {"na", false, 0.0, false, CellRefusal::not_a_number},
    {"0,5", false, 0.0, false, CellRefusal::not_a_number},
    {"<", false, 0.0, false, CellRefusal::not_a_number},
    {"0x1p3", false, 0.0, false, CellRefusal::not_a_number},
    {"1 2", false, 0.0, false, CellRefusal::not_a_number},
    {"inf", false, 0.0, false, CellRefusal::not_finite},
    {"<nan", false, 0.0, false, CellRefusal::not_finite},
    {"1e400", false, 0.0, false, CellRefusal::overflow},
    {"-1e400", false, 0.0, false, CellRefusal::overflow},
    {"1e-400", false, 0.0, false, CellRefusal::underflow},
    {"0", false, 0.0, false, CellRefusal::not_positive},
    {"<-1", false, 0.0, false, CellRefusal::not_positive},
    {"-0", false, 0.0, false, CellRefusal::not_positive},
    {"ND", false, 0.0, false, CellRefusal::nondetect_without_limit},
    {" nd ", false, 0.0, false, CellRefusal::nondetect_without_limit},
    {"0.5", true, 0.0, false, CellRefusal::point_with_decimal_comma},
    {"<1.000,5", true, 0.0, false, CellRefusal::point_with_decimal_comma},
};

} // namespace

TEST(Cells, ReadCell)
{
    for (const CellCase& c : cellCases) {
        SCOPED_TRACE(std::string(c.text) + (c.decimal_comma ? " (decimal comma)" : ""));
        const velmar::Cell cell = velmar::read_cell(c.text, c.decimal_comma);
        EXPECT_EQ(cell.refusal, c.refusal);
        if (c.value > 0.0) {
            ASSERT_TRUE(cell.observation);
            EXPECT_EQ(cell.observation->value, c.value);
            EXPECT_EQ(cell.observation->nondetect, c.nondetect);
        } else {
            EXPECT_FALSE(cell.observation);
        }
    }
}

TEST(Cells, RefusalTextsAreDistinct)
{
    constexpr CellRefusal all[] = {CellRefusal::not_a_number, CellRefusal::not_finite,
                                   CellRefusal::overflow,     CellRefusal::underflow,
                                   CellRefusal::not_positive, CellRefusal::nondetect_without_limit,
                                   CellRefusal::point_with_decimal_comma};
    for (const CellRefusal a : all)
        for (const CellRefusal b : all) {
            if (a != b) { EXPECT_NE(velmar::describe(a), velmar::describe(b)); }
        }
    EXPECT_EQ(velmar::describe(CellRefusal::underflow), "underflows: it is too close to 0 for a double");
}

TEST(Cells, NondetectMarks)
{
    const struct {
        std::string_view text;
        std::optional<bool> mark;
    } cases[] = {
        {"<", true},    {"nd", true},    {" U ", true},   {"True", true},    {"y", true},   {"YES", true},
        {"", false},    {"=", false},    {"d", false},    {"false", false},  {"N", false},  {"\tno", false},
        {"0", std::nullopt}, {"detect", std::nullopt}, {"<0.5", std::nullopt}, {"yes!", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(velmar::read_nondetect_mark(c.text), c.mark);
    }
    for (const std::string_view m : velmar::nondetect_marks()) EXPECT_EQ(velmar::read_nondetect_mark(m), true);
    for (const std::string_view m : velmar::detect_marks()) EXPECT_EQ(velmar::read_nondetect_mark(m), false);
    EXPECT_EQ(velmar::mark_refusal(),
              "is not a nondetect mark (<, ND, U, TRUE, Y, YES) or a detect mark (empty, =, D, FALSE, N, NO)");
}

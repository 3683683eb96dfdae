test_that("limits: one row per recycled element, gamma2 defaulting to nu + 1", {
  r <- limits(0.5, 1.1, nu = c(12, 20), level = c(0.9, 95), side = c("lower", "upper"))
  expect_identical(nrow(r), 2L)
  expect_identical(r$gamma2, c(13, 21))
  expect_identical(r$level, c(0.9, 0.95))
  expect_identical(r[2, "upper"], limits(0.5, 1.1, 20, gamma2 = 21)$upper)
  expect_identical(is.na(c(r$upper[1], r$lower[2])), c(TRUE, TRUE))
  expect_identical(limits(0.5, 1.1, 12, gamma2 = 13)$upper, limits(0.5, 1.1, 12)$upper)
  expect_identical(dim(limits(numeric(0), 1, 3)), c(0L, 14L))
})

test_that("limits follow their formula, for either sign of lambda", {
  for (lambda in c(0.5, -1)) {
    r <- limits(-2.8976, 1.1117, nu = 3, lambda = lambda, gamma2 = 4, side = "two-sided")
    sign <- if (lambda < 0) -1 else 1
    half <- sign * (1.1117 / 2) * sqrt(4 / 3)
    expect_equal(c(r$lower, r$upper), -2.8976 + lambda * 1.1117^2 + half * c(r$C_lower, r$C_upper))
    expect_true(r$lower < r$upper)
  }
})

test_that("limits stop with the library's message, and warn of a failed limit", {
  expect_error(limits(0, 1, 1), "nu = 1: must be finite and at least 2", fixed = TRUE)
  expect_error(limits(0, 1, c(3, 3), gamma2 = c(4, -1)), "element 2: gamma2 = -1: must be", fixed = TRUE)
  expect_error(limits(0, 1, 3, side = NA_character_), "side = NA", fixed = TRUE)
  # The second upper limit, 1.7e308 + 1e307 x 0.58 C, lies beyond the largest double.
  expect_warning(r <- limits(1.7e308, c(1, 1e307), 3, lambda = 0), "row 2: upper limit: out_of_range", fixed = TRUE)
  expect_identical(r$status, c("converged", "upper limit: out_of_range"))
  expect_identical(is.na(r$upper), c(FALSE, TRUE))
})

test_that("an upper limit at a level of 0.5 or below draws a warning, other sides none", {
  expect_warning(limits(0, 1, 5, level = 0.05), "level 0.05 is at or below 0.5 for an upper limit", fixed = TRUE)
  expect_warning(lognormal_mean_limits(c(1, 2, 3), level = 5), "probably a significance level", fixed = TRUE)
  expect_no_warning(limits(0, 1, 5, level = 0.05, side = "lower"))
})

four <- c(0.043, 0.236, 0.057, 0.016)

test_that("the four-value example gives the published limits", {
  upper <- lognormal_mean_limits(four)
  expect_equal(upper$upper, 11.6786, tolerance = 5e-5 / 11.6786)
  expect_equal(lognormal_mean_limits(four, side = "lower")$lower, 0.0382, tolerance = 5e-5 / 0.0382)
})

test_that("the row has the command line's columns and its statistics", {
  r <- lognormal_mean_limits(c(four, NA), level = 90, side = "two-sided")
  expect_named(r, c("n", "skipped", "mean_log", "sd_log", "arithmetic_mean", "level", "side",
                    "C_lower", "C_upper", "lower", "upper", "status", "method", "version"))
  expect_identical(nrow(r), 1L)
  expect_identical(c(r$n, r$skipped), c(4L, 1L))
  expect_equal(c(r$mean_log, r$sd_log, r$arithmetic_mean), c(mean(log(four)), sd(log(four)), mean(four)))
  expect_identical(list(r$level, r$side, r$status, r$method), list(0.9, "two-sided", "converged", "exact UMAU"))
  expect_true(r$lower < r$arithmetic_mean && r$arithmetic_mean < r$upper)
  # The same limits from the summary statistics, on the log scale.
  l <- limits(r$mean_log, r$sd_log, nu = 3, gamma2 = 4, level = 0.9, side = "two-sided")
  expect_equal(c(r$lower, r$upper), exp(c(l$lower, l$upper)), tolerance = 1e-14)
  expect_equal(lognormal_mean_limits(four)$C_upper, land_h(4, sd(log(four))), tolerance = 1e-14)
  one <- lognormal_mean_limits(four)
  expect_identical(c(one$lower, one$C_lower), c(NA_real_, NA_real_))
})

test_that("a limit beyond the range of doubles is NA with its status and a warning", {
  expect_warning(r <- lognormal_mean_limits(c(1e300, 1e-300, 1e300)), "upper limit: out_of_range", fixed = TRUE)
  expect_identical(r$status, "upper limit: out_of_range")
  expect_true(is.na(r$upper))
})

test_that("bad data stop with the library's message, placed in x", {
  expect_error(lognormal_mean_limits(c(1, NA, -1, 2)),
               "x[3] = -1: every value must be positive and finite", fixed = TRUE)
  expect_error(lognormal_mean_limits(c(1, NA, 2)), "values: 2 given, at least 3 are needed", fixed = TRUE)
  expect_error(lognormal_mean_limits(four, side = "up"), "side = \"up\": must be one of", fixed = TRUE)
  expect_error(lognormal_mean_limits(four, level = 100), "level = 100: is not a confidence level", fixed = TRUE)
  expect_error(lognormal_mean_limits(four, nondetect = c(FALSE, TRUE, FALSE, FALSE)), "nondetect")
})

test_that("equal-tailed limits are the one-sided limits of level (1 + level)/2", {
  r <- lognormal_mean_limits(four, level = 0.9, side = "equal-tailed")
  expect_identical(r$side, "equal-tailed")
  expect_identical(c(r$lower, r$upper), c(lognormal_mean_limits(four, side = "lower")$lower,
                                          lognormal_mean_limits(four)$upper))
  expect_equal(r$lower, 0.0382, tolerance = 5e-5 / 0.0382)
})

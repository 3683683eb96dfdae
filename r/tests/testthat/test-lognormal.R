four <- c(0.043, 0.236, 0.057, 0.016)

test_that("the four-value example gives the published limits", {
  upper <- lognormal_mean_limits(four)
  expect_equal(upper$upper, 11.6786, tolerance = 5e-5 / 11.6786)
  expect_equal(lognormal_mean_limits(four, side = "lower")$lower, 0.0382, tolerance = 5e-5 / 0.0382)
})

test_that("the row has the command line's columns and its statistics", {
  r <- lognormal_mean_limits(c(four, NA), level = 90, side = "two-sided")
  expect_named(r, c("n", "n_nd", "skipped", "mean_log", "sd_log", "arithmetic_mean", "mean", "sd", "se",
                    "level", "side", "C_lower", "C_upper", "lower", "upper", "status", "method", "version"))
  expect_identical(nrow(r), 1L)
  expect_identical(c(r$n, r$n_nd, r$skipped), c(4L, 0L, 1L))
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
  expect_error(lognormal_mean_limits(four, side = "up"), "side = \"up\": must be one of", fixed = TRUE)
  expect_error(lognormal_mean_limits(four, level = 100), "level = 100: is not a confidence level", fixed = TRUE)
})

test_that("too few values give a row with the reason and a warning", {
  expect_warning(r <- lognormal_mean_limits(c(1, NA, 2)), "2 values, at least 3 are needed", fixed = TRUE)
  expect_identical(list(r$n, r$skipped, r$status, r$upper), list(2L, 1L, "2 values, at least 3 are needed", NA_real_))
})

test_that("equal-tailed limits are the one-sided limits of level (1 + level)/2", {
  r <- lognormal_mean_limits(four, level = 0.9, side = "equal-tailed")
  expect_identical(r$side, "equal-tailed")
  expect_identical(c(r$lower, r$upper), c(lognormal_mean_limits(four, side = "lower")$lower,
                                          lognormal_mean_limits(four)$upper))
  expect_equal(r$lower, 0.0382, tolerance = 5e-5 / 0.0382)
})

# Ten values, three of them nondetects below 0.5; the last is skipped.
y <- c(0.5, 0.5, 1.2, 3.4, 0.8, 2.2, 0.5, 5.1, 1.7, 0.9, NA)
nd <- c(TRUE, TRUE, FALSE, FALSE, FALSE, FALSE, TRUE, FALSE, FALSE, FALSE, NA)

test_that("nondetects give a row per method, the limits made of their own columns", {
  r <- lognormal_mean_limits(y, nondetect = nd)
  expect_identical(r$method, c("KM-t", "KM-Chebyshev", "ROS + exact UMAU"))
  expect_identical(c(unique(r$n), unique(r$n_nd), unique(r$skipped)), c(10L, 3L, 1L))
  expect_identical(r$status, rep("converged", 3))
  km <- r[1:2, ]
  expect_equal(km$upper, km$mean + c(qt(0.95, 9), sqrt(1 / 0.05 - 1)) * km$se)
  expect_equal(r$C_upper[3], land_h(10, r$sd_log[3]))
  expect_equal(r$upper[3], exp(r$mean_log[3] + r$sd_log[3]^2 / 2 + r$sd_log[3] * r$C_upper[3] / 3))
  two <- lognormal_mean_limits(y, nondetect = nd, side = "two-sided")
  expect_identical(two$method, c("KM-t", "ROS + exact UMAU"))
  expect_equal(two$lower[1], two$mean[1] - qt(0.975, 9) * two$se[1])
})

test_that("nondetect flags are checked against x", {
  expect_error(lognormal_mean_limits(y, nondetect = nd[-1]), "nondetect has 10 elements, x 11", fixed = TRUE)
  expect_error(lognormal_mean_limits(y, nondetect = as.numeric(nd)), "nondetect must be logical", fixed = TRUE)
  expect_error(lognormal_mean_limits(c(y[-11], 1), nondetect = nd), "nondetect[11] is NA where x has a value",
               fixed = TRUE)
  expect_error(lognormal_mean_limits(c(NA, 1, -2, 3), nondetect = c(NA, FALSE, TRUE, FALSE)),
               "x[3] = -2 (a detection limit): every value must be positive and finite", fixed = TRUE)
})

test_that("a method that fails names itself in the warning; the others keep their limits", {
  z <- c(rep(0.5, 17), 1, 2, 3)
  expect_warning(r <- lognormal_mean_limits(z, nondetect = z == 0.5),
                 "could not be computed: ROS + exact UMAU: more than 80% nondetects", fixed = TRUE)
  expect_identical(is.na(r$upper), c(FALSE, FALSE, TRUE))
})

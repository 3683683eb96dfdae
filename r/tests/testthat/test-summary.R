x <- c(0.043, 0.236, 0.057, 0.016, 0.12, 0.33, 0.08, 0.051, 0.2)

test_that("the summary's statistics agree with their definitions and with the limits", {
  s <- velmar_summary(x, limit = 0.3, simulations = 200)
  expect_s3_class(s, "velmar_summary")
  y <- log(x)
  expect_equal(c(s$geometric_mean, s$geometric_sd), exp(c(mean(y), sd(y))))
  expect_equal(s$p95, exp(mean(y) + qnorm(0.95) * sd(y)))
  expect_equal(s$exceedance, 1 - pnorm((log(0.3) - mean(y)) / sd(y)))
  sw <- shapiro.test(y)
  expect_equal(c(s$shapiro_wilk_W, s$shapiro_wilk_p), unname(c(sw$statistic, sw$p.value)), tolerance = 1e-6)
  expect_identical(s$ucl$method, c("exact UMAU", "Student-t", "Chebyshev", "Cox", "bootstrap-t"))
  expect_equal(s$ucl$ucl[1], lognormal_mean_limits(x)$upper)
  expect_equal(s$ucl$ucl[2], mean(x) + qt(0.95, 8) * sd(x) / 3)
  expect_identical(nrow(s$probability_plot), 9L)
  expect_output(print(s), "Upper confidence limits of the mean")
})

test_that("nondetects change the methods; NA values are skipped", {
  y <- c(0.5, 0.5, 1.2, 3.4, 0.8, 2.2, 0.5, 5.1, 1.7, 0.9, NA)
  s <- velmar_summary(y, nondetect = y == 0.5, simulations = 0)
  expect_identical(c(s$n, s$n_nd, s$skipped), c(10L, 3L, 1L))
  expect_identical(s$ucl$method[1:3], c("KM-t", "KM-Chebyshev", "ROS + exact UMAU"))
  expect_true(all(is.na(s$ucl$simulated_coverage)))
  expect_true(is.na(s$shapiro_wilk_W) && !is.na(s$ros_ppcc))
})

test_that("seeds: the same seed repeats, a group's summary ignores the other groups", {
  a <- velmar_summary(x, simulations = 200, seed = 7)
  expect_identical(a$ucl, velmar_summary(x, simulations = 200, seed = 7)$ucl)
  expect_false(identical(a$ucl, velmar_summary(x, simulations = 200, seed = 8)$ucl))
  both <- velmar_summary(c(x, x * 2), group = rep(c("a", "b"), each = 9), simulations = 200, seed = 7)
  expect_named(both, c("a", "b"))
  alone <- velmar_summary(x, group = rep("a", 9), simulations = 200, seed = 7)
  expect_identical(both$a, alone$a)
})

test_that("the summary stops with the library's message", {
  expect_error(velmar_summary(c(1, NA, -1)), "x[3] = -1: every value must be positive and finite", fixed = TRUE)
  expect_error(velmar_summary(x, limit = -1), "limit = -1: must be positive and finite", fixed = TRUE)
  expect_error(velmar_summary(x, seed = 1.5), "seed must be a whole number", fixed = TRUE)
  expect_error(velmar_summary(x, group = c(rep("a", 8), NA)), "group[9] is NA", fixed = TRUE)
  expect_warning(velmar_summary(x, level = 0.05, simulations = 0), "probably a significance level", fixed = TRUE)
})

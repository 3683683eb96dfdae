# Writes the reference tables of the statistics tests from R's own functions.
#   Rscript make_reference.R        (from this folder; R 4.2 with nortest 1.0-4; a few seconds)
# samples.txt: one sample a line, positive values with at most 4 significant
# digits (exact decimal strings); the tables refer to a sample by its line
# number from 1. Every statistic is computed by R from the values as written.
suppressPackageStartupMessages(library(nortest))

set.seed(20240611)
lognormal <- function(n, meanlog, sdlog) signif(rlnorm(n, meanlog, sdlog), 4)
samples <- list(
  c(0.043, 0.236, 0.057, 0.016),                   # the four-value example
  c(1.2, 3.4, 2.2),
  lognormal(5, 0, 1),
  lognormal(8, 1, 0.3),
  lognormal(11, -2, 2),
  lognormal(12, 0.5, 1),
  lognormal(15, 3, 0.6),
  lognormal(20, 0, 1.5),
  lognormal(30, -1, 0.8),
  lognormal(50, 2, 1),
  lognormal(100, 0, 0.5),
  lognormal(300, 1, 1.2),
  signif(exp(rexp(40, 0.5)), 4),                   # logs exponential: not lognormal
  c(2, 2, 2, 3, 3, 5, 5, 5, 8, 13),                # ties
  c(signif(rlnorm(1599, 0, 0.5), 4), 1.384e-87)    # an outlier whose z is below -37
)
write_number <- function(v) sprintf("%.17g", v)
con <- file("samples.txt", "w")
writeLines("# Written by make_reference.R: one sample a line.", con)
for (x in samples) writeLines(paste(sprintf("%.4g", x), collapse = " "), con)
close(con)
samples <- lapply(samples, function(x) as.numeric(sprintf("%.4g", x)))

table <- function(name, header, rows) {
  con <- file(name, "w")
  writeLines(c(paste0("# Written by make_reference.R (", R.version.string, ", nortest ",
                      packageVersion("nortest"), ")."), paste("#", header)), con)
  for (r in rows) writeLines(paste(sapply(r, write_number), collapse = " "), con)
  close(con)
}

# Finney's g_n(t) by its series, summed until the terms stop changing the sum.
finney_g <- function(n, t) {
  term <- (n - 1) * t / n; sum <- 1 + term; k <- 1
  while (term > sum * 1e-18) { k <- k + 1; term <- term * (n - 1)^2 * t / (n * (n + 2 * k - 3) * k); sum <- sum + term }
  sum
}

normality <- list(); moments <- list(); limits <- list(); exceedance <- list()
for (i in seq_along(samples)) {
  x <- samples[[i]]; y <- log(x); n <- length(x); ybar <- mean(y); s <- sd(y)
  sw <- shapiro.test(y)
  ad <- if (n >= 8) ad.test(y) else list(statistic = NaN, p.value = NaN)
  normality[[i]] <- c(i, n, sw$statistic, sw$p.value, ad$statistic, ad$p.value)
  moments[[i]] <- c(i, exp(ybar), exp(s), exp(ybar) * finney_g(n, s^2 / 2))
  # The noncentral t of R is exact only for noncentralities below 37.62: larger samples are left out.
  exact_nct <- qnorm(0.95) * sqrt(n) < 37
  for (level in c(0.9, 0.95, 0.99)) {
    tq <- qt(level, n - 1)
    utl <- if (exact_nct) exp(ybar + s * qt(level, n - 1, ncp = qnorm(0.95) * sqrt(n)) / sqrt(n)) else NaN
    limits[[length(limits) + 1]] <- c(i, level,
      mean(x) + tq * sd(x) / sqrt(n),
      mean(x) + sqrt(1 / (1 - level) - 1) * sd(x) / sqrt(n),
      exp(ybar + s^2 / 2 + tq * sqrt(s^2 / n + s^4 / (2 * (n - 1)))),
      exp(ybar + qnorm(0.95) * s), utl)
    if (!exact_nct) next
    for (k in c(0.5, 1.5, 2.5)) {
      L <- as.numeric(sprintf("%.4g", exp(ybar + k * s)))
      t <- sqrt(n) * (log(L) - ybar) / s
      if (abs(t) > 35) next
      delta <- uniroot(function(d) pt(t, n - 1, ncp = d) - level, c(t - 20, t + 5), tol = 1e-13)$root
      exceedance[[length(exceedance) + 1]] <- c(i, L, level,
        pnorm((log(L) - ybar) / s, lower.tail = FALSE), pnorm(delta / sqrt(n), lower.tail = FALSE))
    }
  }
}
table("normality.txt", "sample n W p(W) A2 p(A2) (of the logs; NaN where n < 8)", normality)
table("moments.txt", "sample geometric_mean geometric_sd mvue_mean", moments)
table("limits.txt", "sample level student_t chebyshev cox p95 p95_utl (NaN: not referenced)", limits)
table("exceedance.txt", "sample limit level exceedance exceedance_ucl", exceedance)

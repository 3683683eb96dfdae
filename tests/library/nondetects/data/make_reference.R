# Reference values for the nondetects tests, from samples.txt:
#   km_reference.txt  the Kaplan-Meier figures, from R's survival package on
#                     the flipped data (x -> M - x makes left-censored data
#                     right-censored), restricted at the lowest detect;
#   ros_reference.txt the regression on order statistics, computed here from
#                     its definition, observation by observation.
# Run in this folder: Rscript make_reference.R (R 4.2, survival 3.5; a second).
suppressPackageStartupMessages(library(survival))

lines <- readLines("samples.txt")
lines <- lines[!grepl("^#", lines) & nzchar(lines)]
num <- function(x) sprintf("%.17g", x)

km_out <- c("# Written by make_reference.R from samples.txt (R survival package).",
            "# index n D nd uninformative mean sd se t_upper_95 t_lower_90 t_two_sided_95_lower t_two_sided_95_upper chebyshev_95 chebyshev_80")
ros_out <- c("# Written by make_reference.R from samples.txt.",
             "# index 1 intercept slope ppcc | index 2 plotting positions | index 3 completed values (sample order)")

for (index in seq_along(lines)) {
  cells <- strsplit(trimws(sub("^[^:]*:", "", lines[index])), "[[:space:]]+")[[1]]
  nd <- startsWith(cells, "<")
  x <- as.numeric(sub("^<", "", cells))
  n <- length(x); D <- sum(!nd)

  # Kaplan-Meier through survival: flip, fit, restrict at the flipped lowest detect.
  M <- max(x) + 1
  t <- M - x
  fit <- survfit(Surv(t, as.integer(!nd)) ~ 1)
  tau <- M - min(x[!nd])
  tab <- summary(fit, rmean = tau)$table
  mean <- M - tab[["rmean"]]
  se <- tab[["se(rmean)"]] * sqrt(D / (D - 1))
  # Weights: the drops of the survival curve at the event times, and what is
  # left at the last one (the mass below the lowest detect).
  ev <- fit$n.event > 0
  times <- fit$time[ev]; s <- fit$surv[ev]
  w <- -diff(c(1, s)); w[length(w)] <- w[length(w)] + s[length(s)]
  values <- M - times
  sd <- sqrt(sum(w * (values - sum(w * values))^2))
  uninformative <- sum(nd & x > max(x[!nd]))
  q <- function(p) qt(p, n - 1)
  km_out <- c(km_out, paste(index, n, D, n - D, uninformative, num(mean), num(sd), num(se),
                            num(mean + q(0.95) * se), num(mean - q(0.90) * se),
                            num(mean - q(0.975) * se), num(mean + q(0.975) * se),
                            num(mean + sqrt(1 / 0.05 - 1) * se), num(mean + sqrt(1 / 0.2 - 1) * se)))

  # Regression on order statistics, observation by observation.
  dl <- sort(unique(x[nd]))
  if (length(dl) == 0 || any(x[!nd] < dl[1])) dl <- c(0, dl)
  m <- length(dl)
  upper <- c(dl[-1], Inf)
  A <- sapply(1:m, function(j) sum(!nd & x >= dl[j] & x < upper[j]))
  B <- sapply(1:m, function(j) sum(!nd & x < dl[j]) + sum(nd & x <= dl[j]))
  pe <- numeric(m + 1)
  for (j in m:1) pe[j] <- pe[j + 1] + (if (A[j] + B[j] > 0) A[j] / (A[j] + B[j]) else 0) * (1 - pe[j + 1])
  pp <- numeric(n)
  for (j in 1:m) {
    inband <- which(!nd & x >= dl[j] & x < upper[j])
    inband <- inband[order(x[inband])]
    pp[inband] <- (1 - pe[j]) + (pe[j] - pe[j + 1]) * seq_along(inband) / (length(inband) + 1)
    at <- which(nd & x == dl[j])
    pp[at] <- (1 - pe[j]) * seq_along(at) / (length(at) + 1)
  }
  z <- qnorm(pp)
  line <- lm(log(x[!nd]) ~ z[!nd])
  b <- unname(coef(line))
  completed <- ifelse(nd, exp(b[1] + b[2] * z), x)
  ros_out <- c(ros_out,
               paste(index, 1, num(b[1]), num(b[2]), num(cor(log(x[!nd]), z[!nd]))),
               paste(index, 2, paste(num(pp), collapse = " ")),
               paste(index, 3, paste(num(completed), collapse = " ")))
}
writeLines(km_out, "km_reference.txt")
writeLines(ros_out, "ros_reference.txt")

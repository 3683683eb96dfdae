# The R face of the library: checks the types of the arguments, recycles
# them, calls the compiled glue (src/velmar_r.cpp) and builds the results.
# What is computed, and every rule about values, comes from the library.

# The arguments recycled to one length; each must have length 1 or that
# length (a zero-length argument makes every result empty).
recycled <- function(args, call) {
  len <- lengths(args)
  n <- if (any(len == 0L)) 0L else max(len)
  bad <- len != 1L & len != n
  if (any(bad)) {
    stop(simpleError(paste0(
      "arguments of different lengths: ", paste0(names(args), " (", len, ")", collapse = ", "),
      "; each must have length 1 or ", n), call))
  }
  lapply(args, rep_len, length.out = n)
}

# A numeric argument as double; NA (of any type) is allowed.
numeric_arg <- function(x, name, call) {
  if (!is.numeric(x) && !(is.logical(x) && all(is.na(x)))) {
    stop(simpleError(paste0(name, " must be numeric, not ", class(x)[1L]), call))
  }
  as.double(x)
}

side_arg <- function(side, call) {
  if (!is.character(side)) stop(simpleError("side must be a character string", call))
  side
}

# Evaluates a call of the glue; the library's error keeps its message and
# class, and names the user's call instead of the glue's.
library_call <- function(expr, call) {
  tryCatch(expr, error = function(e) {
    e$call <- call
    stop(e)
  })
}

# An upper limit at a level of 0.5 or below is rarely meant: the level given
# is probably a significance level.
warn_if_significance <- function(level, side, call) {
  low <- side == "upper" & level <= 0.5
  if (any(low)) {
    warning(simpleWarning(paste0(
      "level ", level[low][1L], " is at or below 0.5 for an upper limit; it is probably a significance level ",
      "(for 95% confidence give level = 0.95)"), call))
  }
}

# The columns from the glue as a data frame; rows whose limits could not be
# computed keep their status and draw one warning, naming their method or row.
limits_frame <- function(columns, what, call) {
  failed <- columns[[".failed"]]
  uninformative <- columns[[".uninformative"]]
  columns[c(".failed", ".uninformative")] <- NULL
  frame <- do.call(data.frame, c(columns, list(stringsAsFactors = FALSE, check.names = FALSE)))
  warn_if_significance(frame$level, frame$side, call)
  if (any(failed)) {
    rows <- which(failed)
    label <- if (anyDuplicated(frame$method)) paste("row", seq_len(nrow(frame))) else frame$method
    detail <- if (nrow(frame) == 1L) frame$status else paste0(label[rows], ": ", frame$status[rows], collapse = "; ")
    warning(simpleWarning(paste0(what, " could not be computed: ", detail), call))
  }
  if (!is.null(uninformative)) attr(frame, "uninformative") <- uninformative
  frame
}

land_h <- function(n, s, level = 0.95) {
  call <- sys.call()
  args <- recycled(list(n = numeric_arg(n, "n", call), s = numeric_arg(s, "s", call),
                        level = numeric_arg(level, "level", call)), call)
  library_call(velmar_land_h(args$n, args$s, args$level), call)
}

limits <- function(mu_hat, sigma_hat, nu, lambda = 0.5, gamma2 = NULL, level = 0.95, side = "upper") {
  call <- sys.call()
  if (is.null(gamma2)) gamma2 <- NA_real_
  args <- recycled(list(
    mu_hat = numeric_arg(mu_hat, "mu_hat", call), sigma_hat = numeric_arg(sigma_hat, "sigma_hat", call),
    nu = numeric_arg(nu, "nu", call), lambda = numeric_arg(lambda, "lambda", call),
    gamma2 = numeric_arg(gamma2, "gamma2", call), level = numeric_arg(level, "level", call),
    side = side_arg(side, call)), call)
  columns <- library_call(do.call(velmar_limits, args), call)
  limits_frame(columns, "limits", call)
}

# The nondetect flags: all FALSE when NULL, else one logical per value.
nondetect_arg <- function(nondetect, x, call) {
  if (is.null(nondetect)) return(logical(length(x)))
  if (!is.logical(nondetect)) stop(simpleError("nondetect must be logical (TRUE for a nondetect)", call))
  if (length(nondetect) != length(x)) {
    stop(simpleError(paste0("nondetect has ", length(nondetect), " elements, x ", length(x)), call))
  }
  nondetect
}

lognormal_mean_limits <- function(x, level = 0.95, side = "upper", nondetect = NULL) {
  call <- sys.call()
  x <- numeric_arg(x, "x", call)
  level <- numeric_arg(level, "level", call)
  side <- side_arg(side, call)
  if (length(level) != 1L) stop(simpleError("level must be a single number", call))
  if (length(side) != 1L) stop(simpleError("side must be a single string", call))
  nondetect <- nondetect_arg(nondetect, x, call)
  columns <- library_call(velmar_lognormal_mean_limits(x, nondetect, level, side), call)
  limits_frame(columns, "the limits for the mean", call)
}

# A whole number in [0, bound] (the library's int and uint64 settings).
whole_arg <- function(x, name, bound, call) {
  if (!is.numeric(x) || length(x) != 1L || is.na(x) || x < 0 || x > bound || x != floor(x)) {
    stop(simpleError(paste0(name, " must be a whole number from 0 to ", format(bound, scientific = FALSE)), call))
  }
  x
}

# One summary, or with group one per group in the order of first appearance,
# each seeded from seed and its group's name (the library's group_seed), so
# that a group's numbers do not depend on the other groups.
velmar_summary <- function(x, nondetect = NULL, level = 0.95, limit = NULL, simulations = 4000, seed = 0,
                           group = NULL) {
  call <- sys.call()
  x <- numeric_arg(x, "x", call)
  level <- numeric_arg(level, "level", call)
  if (length(level) != 1L) stop(simpleError("level must be a single number", call))
  if (is.null(limit)) {
    limit <- NA_real_
  } else {
    limit <- numeric_arg(limit, "limit", call)
    if (length(limit) != 1L || is.na(limit)) stop(simpleError("limit must be NULL or a single number", call))
  }
  simulations <- as.integer(whole_arg(simulations, "simulations", .Machine$integer.max, call))
  # Seeds above 2^53 have no exact double.
  seed <- whole_arg(seed, "seed", 2^53, call)
  nondetect <- nondetect_arg(nondetect, x, call)
  one <- function(x, nondetect, key) {
    s <- library_call(velmar_summary_of(x, nondetect, level, limit, simulations, seed, key), call)
    structure(s, class = "velmar_summary", group = if (is.na(key)) NULL else key)
  }
  if (is.null(group)) {
    s <- one(x, nondetect, NA_character_)
    warn_if_significance(s$level, "upper", call)
    return(s)
  }
  if (length(group) != length(x)) {
    stop(simpleError(paste0("group has ", length(group), " elements, x ", length(x)), call))
  }
  if (anyNA(group)) stop(simpleError(paste0("group[", which(is.na(group))[1L], "] is NA"), call))
  keys <- unique(as.character(group))
  summaries <- lapply(keys, function(k) {
    rows <- as.character(group) == k
    one(x[rows], nondetect[rows], k)
  })
  names(summaries) <- keys
  if (length(summaries) > 0L) warn_if_significance(summaries[[1L]]$level, "upper", call)
  summaries
}

print.velmar_summary <- function(x, digits = 4, ...) {
  number <- function(v) if (is.na(v)) "NA" else format(signif(v, digits))
  group <- attr(x, "group")
  cat("Summary", if (!is.null(group)) paste0(" of group \"", group, "\""), " by ", x$version, "\n", sep = "")
  cat("n ", x$n, if (x$n_nd > 0) paste0(" (", x$n_nd, " nondetects)"),
      if (x$skipped > 0) paste0(", ", x$skipped, " NA skipped"), "; level ", x$level, "\n", sep = "")
  cat("arithmetic mean ", number(x$arithmetic_mean), ", geometric mean ", number(x$geometric_mean),
      ", geometric sd ", number(x$geometric_sd), ", MVUE of the mean ", number(x$mvue_mean), "\n", sep = "")
  if (!is.na(x$shapiro_wilk_W)) {
    cat("Shapiro-Wilk (logs): W ", number(x$shapiro_wilk_W), ", p ", number(x$shapiro_wilk_p), "\n", sep = "")
  }
  if (!is.na(x$anderson_darling_A2)) {
    cat("Anderson-Darling (logs): A2 ", number(x$anderson_darling_A2), ", p ", number(x$anderson_darling_p), "\n",
        sep = "")
  }
  if (!is.na(x$ros_ppcc)) cat("ROS probability plot correlation ", number(x$ros_ppcc), "\n", sep = "")
  cat("Upper confidence limits of the mean:\n")
  print(x$ucl, digits = digits, row.names = FALSE)
  cat("95th percentile ", number(x$p95), ", its upper tolerance limit ", number(x$p95_utl), "\n", sep = "")
  if (!is.na(x$limit)) {
    cat("exposure limit ", number(x$limit), ": exceedance ", number(x$exceedance), " (upper limit ",
        number(x$exceedance_ucl), "), compliance p ", number(x$compliance_p), "\n", sep = "")
  }
  for (w in x$warnings) cat("Warning: ", w, "\n", sep = "")
  invisible(x)
}

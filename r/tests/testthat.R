library(testthat)
library(velmar)

test_check("velmar")

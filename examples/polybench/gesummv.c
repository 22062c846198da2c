/* gesummv: y = alpha * A * x + beta * B * x, both products in one loop. */
int N = 10;
double alpha = 1.5, beta = 1.2;
double A[20][20], B[20][20], tmp[20], x[20], y[20];

int main(void)
{
  int i, j;
#pragma resource [2][4]
  for (i = 0; i < N; i++) {
#pragma latency [1][1]
    tmp[i] = 0.0;
#pragma latency [1][1]
    y[i] = 0.0;
    for (j = 0; j < N; j++) {
#pragma latency [2][1]
      tmp[i] = A[i][j] * x[j] + tmp[i];
#pragma latency [2][2]
      y[i] = B[i][j] * x[j] + y[i];
    }
#pragma latency [3][1]
    y[i] = alpha * tmp[i] + beta * y[i];
  }
  return 0;
}

/* durbin: Levinson-Durbin recursion for the Yule-Walker equations; the
   scalars alpha, beta and sum carry the recursion. */
int N = 10;
double r[20], y[20], z[20];
double alpha, beta, sum;

int main(void)
{
  int i, k;
#pragma resource [2][4]
#pragma latency [1][1]
  y[0] = -r[0];
#pragma latency [1][1]
  beta = 1.0;
#pragma latency [1][1]
  alpha = -r[0];
  for (k = 1; k < N; k++) {
#pragma latency [3][2]
    beta = (1 - alpha * alpha) * beta;
#pragma latency [1][1]
    sum = 0.0;
    for (i = 0; i < k; i++)
#pragma latency [2][1]
      sum += r[k - i - 1] * y[i];
#pragma latency [4][2]
    alpha = -(r[k] + sum) / beta;
    for (i = 0; i < k; i++)
#pragma latency [2][1]
      z[i] = y[i] + alpha * y[k - i - 1];
    for (i = 0; i < k; i++)
#pragma latency [1][1]
      y[i] = z[i];
#pragma latency [1][1]
    y[k] = alpha;
  }
  return 0;
}
